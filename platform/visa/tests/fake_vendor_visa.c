// A stand-in for a vendor's VISA library: every entry point exists, and the
// resource manager it opens tells which copy answered (VENDOR_ID).
#include <string.h>

#include "visa.h"

ViStatus viOpenDefaultRM(ViPSession vi) {
    *vi = VENDOR_ID;
    return VI_SUCCESS;
}
ViStatus viFindRsrc(ViSession s, ViConstString e, ViPFindList vi, ViPUInt32 n, ViChar d[]) {
    (void)s, (void)e, (void)vi, (void)n, (void)d;
    return VI_ERROR_RSRC_NFOUND;
}
ViStatus viFindNext(ViFindList vi, ViChar d[]) {
    (void)vi, (void)d;
    return VI_ERROR_RSRC_NFOUND;
}
ViStatus viParseRsrc(ViSession s, ViConstRsrc r, ViPUInt16 t, ViPUInt16 n) {
    (void)s, (void)r, (void)t, (void)n;
    return VI_ERROR_NSUP_OPER;
}
ViStatus viOpen(ViSession s, ViConstRsrc r, ViAccessMode m, ViUInt32 t, ViPSession vi) {
    (void)s, (void)r, (void)m, (void)t, (void)vi;
    return VI_ERROR_RSRC_NFOUND;
}
ViStatus viClose(ViObject vi) {
    (void)vi;
    return VI_SUCCESS;
}
ViStatus viSetAttribute(ViObject vi, ViAttr a, ViAttrState v) {
    (void)vi, (void)a, (void)v;
    return VI_ERROR_NSUP_ATTR;
}
ViStatus viGetAttribute(ViObject vi, ViAttr a, void *v) {
    (void)vi, (void)a, (void)v;
    return VI_ERROR_NSUP_ATTR;
}
ViStatus viStatusDesc(ViObject vi, ViStatus st, ViChar d[]) {
    (void)vi, (void)st;
    strcpy(d, "vendor text");
    return VI_SUCCESS;
}
ViStatus viLock(ViSession vi, ViAccessMode t, ViUInt32 tmo, ViConstKeyId k, ViChar a[]) {
    (void)vi, (void)t, (void)tmo, (void)k, (void)a;
    return VI_ERROR_NSUP_OPER;
}
ViStatus viUnlock(ViSession vi) {
    (void)vi;
    return VI_ERROR_NSUP_OPER;
}
ViStatus viRead(ViSession vi, ViPBuf b, ViUInt32 c, ViPUInt32 n) {
    (void)vi, (void)b, (void)c, (void)n;
    return VI_ERROR_NSUP_OPER;
}
ViStatus viWrite(ViSession vi, ViConstBuf b, ViUInt32 c, ViPUInt32 n) {
    (void)vi, (void)b, (void)c, (void)n;
    return VI_ERROR_NSUP_OPER;
}
#ifndef INCOMPLETE
ViStatus viVQueryf(ViSession vi, ViConstString w, ViConstString r, ViVAList p) {
    (void)vi, (void)w, (void)r, (void)p;
    return VI_ERROR_NSUP_OPER;
}
#endif
