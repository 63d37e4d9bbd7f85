// ortav_math: resistance and current to module codes, and the verification
// tolerance checks. Pure functions over a channel's calibration coefficients.
#pragma once

#include <stddef.h>

#include "visatype.h"

#ifdef __cplusplus
extern "C" {
#endif

#define ORTAV_COEFF_SIGNATURE 0x00766528
#define ORTAV_RESISTORS 18
#define ORTAV_CHANNELS 2

// The module's calibration image, byte for byte as stored at EEPROM address 0
// (little-endian, IEEE-754 doubles). Read by the conversions as 43 doubles.
typedef struct CoeffImage {
    ViInt32 signature;                           // ORTAV_COEFF_SIGNATURE when valid
    ViInt32 reserved;                            // kept as read, written back as held
    ViReal64 R[ORTAV_CHANNELS][ORTAV_RESISTORS]; // resistor k of a channel, ohms, r0 included
    ViReal64 r0[ORTAV_CHANNELS];                 // series resistance, ohms
    ViReal64 iGain[ORTAV_CHANNELS];              // DAC codes per ampere
    ViReal64 iOffset[ORTAV_CHANNELS];            // DAC codes
} CoeffImage;

#ifdef __cplusplus
static_assert(sizeof(CoeffImage) == 344, "CoeffImage is the 344-byte EEPROM image");
static_assert(offsetof(CoeffImage, signature) == 0);
static_assert(offsetof(CoeffImage, reserved) == 4);
static_assert(offsetof(CoeffImage, R) == 8);
static_assert(offsetof(CoeffImage, r0) == 296);
static_assert(offsetof(CoeffImage, iGain) == 312);
static_assert(offsetof(CoeffImage, iOffset) == 328);
#else
_Static_assert(sizeof(CoeffImage) == 344, "CoeffImage is the 344-byte EEPROM image");
#endif

#if defined(ORTAV_MATH_BUILD)
#define ORTAV_MATH_API __attribute__((visibility("default")))
#else
#define ORTAV_MATH_API
#endif

// The library is built with hidden visibility and a linker version script
// that leaves exactly these five functions global. Its file also carries an
// embedded CRC-32 and its version (see file_marks.cpp).
//
// channelIndex is 0 or 1. A null image or any other channel index reads
// nothing and gives the "nothing connected" answer: countR 999999999.0,
// RtoN 0 (all resistors off), ItoN 0 (no current).
//
// Every input has a defined result: float-to-integer conversions of values
// that do not fit (NaN, infinities, huge) yield INT32_MIN, as the x86
// truncating conversion does; ItoN then gives 0 and povCheckValueProc reads it
// as an overflow (result 1, deviation ">100.0" or "> -100.0").

// Resistance in ohms that `code` gives on the channel (999999999.0 when open).
ORTAV_MATH_API double ortavMath_countR(const CoeffImage *image, ViInt32 code, ViInt32 channelIndex);
// Resistor code for the resistance in ohms (-1 when it is above every resistor).
ORTAV_MATH_API ViInt32 ortavMath_RtoN(const CoeffImage *image, ViInt32 channelIndex,
                                      ViReal64 resistance);
// DAC code for the current in amperes (low 16 bits).
ORTAV_MATH_API ViUInt16 ortavMath_ItoN(const CoeffImage *image, ViInt32 channelIndex,
                                       ViReal64 current);

// 1 when value is further from reference than tolerance, else 0.
ORTAV_MATH_API ViInt32 ortavMath_povCheckValueAbs(ViReal64 value, ViReal64 reference,
                                                  ViReal64 tolerance, ViReal64 *deviation);
// 1 when the deviation in percent of base exceeds tolerance (percent), else 0;
// both texts are fixed-width protocol fields of at most 16 bytes, NUL included
// (either pointer may be null). A tolerance of 0 reads "   0.0"; a negative or
// NaN tolerance is printed as "%3.1e" and every value is out of it; with an
// infinite one ("inf") every finite deviation is within it.
ORTAV_MATH_API ViInt32 ortavMath_povCheckValueProc(ViReal64 base, ViReal64 reference,
                                                   ViReal64 value, ViReal64 tolerance,
                                                   ViChar toleranceText[], ViChar deviationText[]);

#ifdef __cplusplus
}
#endif
