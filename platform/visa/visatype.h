// VISA scalar types as the VISA standard publishes them for 64-bit Linux:
// 32-bit handles and statuses, 64-bit attribute values.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint64_t ViUInt64;
typedef int64_t ViInt64;
typedef uint32_t ViUInt32;
typedef int32_t ViInt32;
typedef uint16_t ViUInt16;
typedef int16_t ViInt16;
typedef uint8_t ViUInt8;
typedef int8_t ViInt8;
typedef char ViChar;
typedef unsigned char ViByte;
typedef void *ViAddr;
typedef float ViReal32;
typedef double ViReal64;

typedef ViUInt64 *ViPUInt64;
typedef ViUInt32 *ViPUInt32;
typedef ViInt32 *ViPInt32;
typedef ViUInt16 *ViPUInt16;
typedef ViInt16 *ViPInt16;
typedef ViUInt8 *ViPUInt8;
typedef ViChar *ViPChar;
typedef ViByte *ViPByte;
typedef ViByte *ViBuf;
typedef const ViByte *ViConstBuf;
typedef ViByte *ViPBuf;
typedef ViReal64 *ViPReal64;
typedef ViChar *ViString;
typedef const ViChar *ViConstString;
typedef ViString ViRsrc;
typedef ViConstString ViConstRsrc;
typedef ViString ViKeyId;
typedef ViConstString ViConstKeyId;

typedef ViUInt16 ViBoolean;
typedef ViBoolean *ViPBoolean;
typedef ViInt32 ViStatus;
typedef ViStatus *ViPStatus;
typedef ViUInt32 ViVersion;
typedef ViUInt32 ViObject;
typedef ViObject ViSession;
typedef ViSession *ViPSession;
typedef ViUInt32 ViAttr;
typedef ViUInt64 ViAttrState;
typedef ViUInt32 ViAccessMode;
typedef ViObject ViFindList;
typedef ViFindList *ViPFindList;
typedef ViUInt32 ViEventType;

#define VI_NULL 0
#define VI_TRUE ((ViBoolean)1)
#define VI_FALSE ((ViBoolean)0)
#define VI_SUCCESS ((ViStatus)0)

// Instrument-driver conventions (VXIplug&play).
#define VI_ON 1
#define VI_OFF 0

#define _VI_ERROR ((ViStatus)0x80000000L)

#ifdef __cplusplus
}
#endif
