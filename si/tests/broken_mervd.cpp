// A "DMM" driver library that lacks one export which is bound but never called.
#include "visatype.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

EXPORT ViStatus mervd_init(ViConstRsrc, ViInt32, ViInt32, ViSession *vi) {
    *vi = 1;
    return 0;
}
EXPORT ViStatus mervd_close(ViSession) {
    return 0;
}
EXPORT ViStatus mervd_reset(ViSession) {
    return 0;
}
EXPORT ViStatus mervd_error_message(ViSession, ViStatus, ViChar text[]) {
    text[0] = '\0';
    return 0;
}
EXPORT ViStatus mervd_voltDcNplc(ViSession, ViReal64) {
    return 0;
}
EXPORT ViStatus mervd_currDcNplc(ViSession, ViReal64) {
    return 0;
}
EXPORT ViStatus mervd_currDcRang(ViSession, ViInt32, ViReal64) {
    return 0;
}
EXPORT ViStatus mervd_func(ViSession, ViInt32) {
    return 0;
}
EXPORT ViStatus mervd_voltDcRang(ViSession, ViInt32, ViReal64) {
    return 0;
}
EXPORT ViStatus mervd_fresRang(ViSession, ViInt32, ViReal64) {
    return 0;
}
EXPORT ViStatus mervd_measure_Q(ViSession, ViInt32, ViReal64 *r) {
    *r = 0;
    return 0;
}
// mervd_trigCoun is missing.
