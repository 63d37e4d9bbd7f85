// The part of the standard VISA C API that the program uses, with the standard's
// attribute, interface-type, lock and status values. Any vendor's VISA library
// exports these names with this ABI; ours are reached through the loader.
#pragma once

#include <stdarg.h>

#include "visatype.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef va_list ViVAList;
typedef ViUInt32 ViEventFilter;
typedef ViObject ViEvent;
typedef ViEvent *ViPEvent;
typedef ViEventType *ViPEventType;

#define VI_FIND_BUFLEN 256

// Attributes.
#define VI_ATTR_RSRC_CLASS ((ViAttr)0xBFFF0001UL)
#define VI_ATTR_RSRC_NAME ((ViAttr)0xBFFF0002UL)
#define VI_ATTR_RSRC_IMPL_VERSION ((ViAttr)0x3FFF0003UL)
#define VI_ATTR_RSRC_LOCK_STATE ((ViAttr)0x3FFF0004UL)
#define VI_ATTR_SEND_END_EN ((ViAttr)0x3FFF0016UL)
#define VI_ATTR_TERMCHAR ((ViAttr)0x3FFF0018UL)
#define VI_ATTR_TMO_VALUE ((ViAttr)0x3FFF001AUL)
#define VI_ATTR_TERMCHAR_EN ((ViAttr)0x3FFF0038UL)
#define VI_ATTR_MAINFRAME_LA ((ViAttr)0x3FFF0070UL)
#define VI_ATTR_MANF_NAME ((ViAttr)0xBFFF0072UL)
#define VI_ATTR_MODEL_NAME ((ViAttr)0xBFFF0077UL)
#define VI_ATTR_VXI_LA ((ViAttr)0x3FFF00D5UL)
#define VI_ATTR_MANF_ID ((ViAttr)0x3FFF00D9UL)
#define VI_ATTR_MODEL_CODE ((ViAttr)0x3FFF00DFUL)
#define VI_ATTR_SLOT ((ViAttr)0x3FFF00E8UL)
#define VI_ATTR_RSRC_SPEC_VERSION ((ViAttr)0x3FFF0170UL)
#define VI_ATTR_INTF_TYPE ((ViAttr)0x3FFF0171UL)
#define VI_ATTR_GPIB_PRIMARY_ADDR ((ViAttr)0x3FFF0172UL)
#define VI_ATTR_GPIB_SECONDARY_ADDR ((ViAttr)0x3FFF0173UL)
#define VI_ATTR_RSRC_MANF_NAME ((ViAttr)0xBFFF0174UL)
#define VI_ATTR_RSRC_MANF_ID ((ViAttr)0x3FFF0175UL)
#define VI_ATTR_INTF_NUM ((ViAttr)0x3FFF0176UL)
#define VI_ATTR_TCPIP_ADDR ((ViAttr)0xBFFF0195UL)
#define VI_ATTR_TCPIP_HOSTNAME ((ViAttr)0xBFFF0196UL)
#define VI_ATTR_TCPIP_PORT ((ViAttr)0x3FFF0197UL)
#define VI_ATTR_USB_SERIAL_NUM ((ViAttr)0xBFFF01A0UL)
#define VI_ATTR_TCPIP_DEVICE_NAME ((ViAttr)0xBFFF0199UL)

#define VI_NO_SEC_ADDR 0xFFFF

// Interface types.
#define VI_INTF_GPIB 1
#define VI_INTF_VXI 2
#define VI_INTF_GPIB_VXI 3
#define VI_INTF_ASRL 4
#define VI_INTF_PXI 5
#define VI_INTF_TCPIP 6
#define VI_INTF_USB 7

// Access modes, locks and timeouts.
#define VI_NO_LOCK 0
#define VI_EXCLUSIVE_LOCK 1
#define VI_SHARED_LOCK 2
#define VI_LOAD_CONFIG 4
#define VI_TMO_IMMEDIATE 0L
#define VI_TMO_INFINITE 0xFFFFFFFFUL

// Events and their mechanisms.
#define VI_EVENT_IO_COMPLETION ((ViEventType)0x3FFF2009UL)
#define VI_EVENT_SERVICE_REQ ((ViEventType)0x3FFF200BUL)
#define VI_ALL_ENABLED_EVENTS ((ViEventType)0x3FFF7FFFUL)
#define VI_QUEUE 1
#define VI_HNDLR 2
#define VI_SUSPEND_HNDLR 4
#define VI_ALL_MECH 0xFFFF

// Completion and warning codes.
#define VI_SUCCESS_EVENT_EN ((ViStatus)0x3FFF0002L)
#define VI_SUCCESS_EVENT_DIS ((ViStatus)0x3FFF0003L)
#define VI_SUCCESS_QUEUE_EMPTY ((ViStatus)0x3FFF0004L)
#define VI_SUCCESS_TERM_CHAR ((ViStatus)0x3FFF0005L)
#define VI_SUCCESS_MAX_CNT ((ViStatus)0x3FFF0006L)
#define VI_WARN_NULL_OBJECT ((ViStatus)0x3FFF0082L)
#define VI_WARN_UNKNOWN_STATUS ((ViStatus)0x3FFF0085L)
#define VI_SUCCESS_NESTED_SHARED ((ViStatus)0x3FFF0099L)
#define VI_SUCCESS_NESTED_EXCLUSIVE ((ViStatus)0x3FFF009AL)

// Error codes.
#define VI_ERROR_SYSTEM_ERROR ((ViStatus)(_VI_ERROR + 0x3FFF0000L))
#define VI_ERROR_INV_OBJECT ((ViStatus)(_VI_ERROR + 0x3FFF000EL))
#define VI_ERROR_RSRC_LOCKED ((ViStatus)(_VI_ERROR + 0x3FFF000FL))
#define VI_ERROR_INV_EXPR ((ViStatus)(_VI_ERROR + 0x3FFF0010L))
#define VI_ERROR_RSRC_NFOUND ((ViStatus)(_VI_ERROR + 0x3FFF0011L))
#define VI_ERROR_INV_RSRC_NAME ((ViStatus)(_VI_ERROR + 0x3FFF0012L))
#define VI_ERROR_INV_ACC_MODE ((ViStatus)(_VI_ERROR + 0x3FFF0013L))
#define VI_ERROR_TMO ((ViStatus)(_VI_ERROR + 0x3FFF0015L))
#define VI_ERROR_CLOSING_FAILED ((ViStatus)(_VI_ERROR + 0x3FFF0016L))
#define VI_ERROR_NSUP_ATTR ((ViStatus)(_VI_ERROR + 0x3FFF001DL))
#define VI_ERROR_NSUP_ATTR_STATE ((ViStatus)(_VI_ERROR + 0x3FFF001EL))
#define VI_ERROR_ATTR_READONLY ((ViStatus)(_VI_ERROR + 0x3FFF001FL))
#define VI_ERROR_INV_LOCK_TYPE ((ViStatus)(_VI_ERROR + 0x3FFF0020L))
#define VI_ERROR_INV_ACCESS_KEY ((ViStatus)(_VI_ERROR + 0x3FFF0021L))
#define VI_ERROR_INV_EVENT ((ViStatus)(_VI_ERROR + 0x3FFF0026L))
#define VI_ERROR_INV_MECH ((ViStatus)(_VI_ERROR + 0x3FFF0027L))
#define VI_ERROR_NENABLED ((ViStatus)(_VI_ERROR + 0x3FFF002FL))
#define VI_ERROR_INV_SETUP ((ViStatus)(_VI_ERROR + 0x3FFF003AL))
#define VI_ERROR_ALLOC ((ViStatus)(_VI_ERROR + 0x3FFF003CL))
#define VI_ERROR_INV_MASK ((ViStatus)(_VI_ERROR + 0x3FFF003DL))
#define VI_ERROR_IO ((ViStatus)(_VI_ERROR + 0x3FFF003EL))
#define VI_ERROR_INV_FMT ((ViStatus)(_VI_ERROR + 0x3FFF003FL))
#define VI_ERROR_NSUP_FMT ((ViStatus)(_VI_ERROR + 0x3FFF0041L))
#define VI_ERROR_NSUP_OPER ((ViStatus)(_VI_ERROR + 0x3FFF0067L))
#define VI_ERROR_RSRC_BUSY ((ViStatus)(_VI_ERROR + 0x3FFF0072L))
#define VI_ERROR_INV_PARAMETER ((ViStatus)(_VI_ERROR + 0x3FFF0078L))
#define VI_ERROR_SESN_NLOCKED ((ViStatus)(_VI_ERROR + 0x3FFF009CL))
#define VI_ERROR_LIBRARY_NFOUND ((ViStatus)(_VI_ERROR + 0x3FFF009EL))
#define VI_ERROR_CONN_LOST ((ViStatus)(_VI_ERROR + 0x3FFF00A6L))

// Instrument-driver codes (VXIplug&play).
#define VI_ERROR_PARAMETER1 ((ViStatus)(_VI_ERROR + 0x3FFC0001L))
#define VI_ERROR_PARAMETER2 ((ViStatus)(_VI_ERROR + 0x3FFC0002L))
#define VI_ERROR_PARAMETER3 ((ViStatus)(_VI_ERROR + 0x3FFC0003L))
#define VI_ERROR_PARAMETER4 ((ViStatus)(_VI_ERROR + 0x3FFC0004L))
#define VI_ERROR_PARAMETER5 ((ViStatus)(_VI_ERROR + 0x3FFC0005L))
#define VI_ERROR_PARAMETER6 ((ViStatus)(_VI_ERROR + 0x3FFC0006L))
#define VI_ERROR_PARAMETER7 ((ViStatus)(_VI_ERROR + 0x3FFC0007L))
#define VI_ERROR_PARAMETER8 ((ViStatus)(_VI_ERROR + 0x3FFC0008L))
#define VI_ERROR_FAIL_ID_QUERY ((ViStatus)(_VI_ERROR + 0x3FFC0011L))
#define VI_ERROR_INV_RESPONSE ((ViStatus)(_VI_ERROR + 0x3FFC0012L))
#define VI_WARN_NSUP_ID_QUERY ((ViStatus)0x3FFC0101L)
#define VI_WARN_NSUP_RESET ((ViStatus)0x3FFC0102L)
#define VI_WARN_NSUP_SELF_TEST ((ViStatus)0x3FFC0103L)
#define VI_WARN_NSUP_ERROR_QUERY ((ViStatus)0x3FFC0104L)
#define VI_WARN_NSUP_REV_QUERY ((ViStatus)0x3FFC0105L)

// Operations.
ViStatus viOpenDefaultRM(ViPSession vi);
ViStatus viFindRsrc(ViSession sesn, ViConstString expr, ViPFindList vi, ViPUInt32 retCnt,
                    ViChar desc[]);
ViStatus viFindNext(ViFindList vi, ViChar desc[]);
ViStatus viParseRsrc(ViSession rmSesn, ViConstRsrc rsrcName, ViPUInt16 intfType, ViPUInt16 intfNum);
ViStatus viParseRsrcEx(ViSession rmSesn, ViConstRsrc rsrcName, ViPUInt16 intfType,
                       ViPUInt16 intfNum, ViChar rsrcClass[], ViChar expandedUnaliasedName[],
                       ViChar aliasIfExists[]);
ViStatus viOpen(ViSession sesn, ViConstRsrc name, ViAccessMode mode, ViUInt32 timeout,
                ViPSession vi);
ViStatus viClose(ViObject vi);
ViStatus viSetAttribute(ViObject vi, ViAttr attrName, ViAttrState attrValue);
ViStatus viGetAttribute(ViObject vi, ViAttr attrName, void *attrValue);
ViStatus viStatusDesc(ViObject vi, ViStatus status, ViChar desc[]);
ViStatus viLock(ViSession vi, ViAccessMode lockType, ViUInt32 timeout, ViConstKeyId requestedKey,
                ViChar accessKey[]);
ViStatus viUnlock(ViSession vi);
ViStatus viRead(ViSession vi, ViPBuf buf, ViUInt32 cnt, ViPUInt32 retCnt);
ViStatus viWrite(ViSession vi, ViConstBuf buf, ViUInt32 cnt, ViPUInt32 retCnt);
ViStatus viClear(ViSession vi);
ViStatus viEnableEvent(ViSession vi, ViEventType eventType, ViUInt16 mechanism,
                       ViEventFilter context);
ViStatus viDisableEvent(ViSession vi, ViEventType eventType, ViUInt16 mechanism);
ViStatus viDiscardEvents(ViSession vi, ViEventType eventType, ViUInt16 mechanism);
ViStatus viWaitOnEvent(ViSession vi, ViEventType inEventType, ViUInt32 timeout,
                       ViPEventType outEventType, ViPEvent outContext);
ViStatus viQueryf(ViSession vi, ViConstString writeFmt, ViConstString readFmt, ...);
ViStatus viVQueryf(ViSession vi, ViConstString writeFmt, ViConstString readFmt, ViVAList params);

#ifdef __cplusplus
}
#endif
