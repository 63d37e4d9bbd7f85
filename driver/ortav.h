// ORTAV module driver: two channels of programmable resistance (18 binary-weighted
// resistors behind a series resistance) with a 0.1-3 mA current source, reached
// through the carrier driver (carrik.h). Instrument-driver style: session first,
// ViStatus result (negative error, 0 success, positive warning).
//
// Texts given back by the driver (status texts, self-test messages) are UTF-8;
// callers pass buffers of ORTAV_MESSAGE_SIZE (256) bytes.
#pragma once

#include <stddef.h>

#include "ortav_math.h"
#include "visatype.h"

#ifdef __cplusplus
extern "C" {
#endif

#define ORTAV_MODEL_CODE 15
#define ORTAV_MESSAGE_SIZE 256

// ---------------------------------------------------------------------------
// Status codes of the driver's own (texts through ortav_error_message).
#define ORTAV_WARN_INIT ((ViStatus)0x3FFC0C00L)
#define ORTAV_ERROR_SELF_TEST ((ViStatus)(_VI_ERROR + 0x3FFC0C00L))
#define ORTAV_ERROR_INSTR ((ViStatus)(_VI_ERROR + 0x3FFC0C02L))
#define ORTAV_ERROR_CONFIG ((ViStatus)(_VI_ERROR + 0x3FFC0C06L))
#define ORTAV_ERROR_BUSY ((ViStatus)(_VI_ERROR + 0x3FFC0C07L))
#define ORTAV_ERROR_COEFF ((ViStatus)(_VI_ERROR + 0x3FFC0C08L))
// A register that read back wrong: ORTAV_ERROR_REG + its byte offset (0x00..0x3F).
#define ORTAV_ERROR_REG ((ViStatus)(_VI_ERROR + 0x3FFC0C64L))
#define ORTAV_REG_SPAN 0x40

// ---------------------------------------------------------------------------
// Register map: byte offsets of 16-bit registers.
#define ORTAV_REG_ID 0x02
#define ORTAV_REG_CTRL 0x04
#define ORTAV_REG_SDA 0x06
#define ORTAV_REG_SCL 0x08
#define ORTAV_REG_CHAN 0x0A
#define ORTAV_REG_DAC 0x0C
#define ORTAV_REG_CODE_LO 0x0E
#define ORTAV_REG_CODE_HI 0x10
#define ORTAV_REG_WP 0x12
#define ORTAV_REG_VERSION 0x18

// REG_CTRL bits.
#define ORTAV_CTRL_RESET 0x0001
#define ORTAV_CTRL_TEST 0x0002
#define ORTAV_CTRL_BUSY 0x0030
#define ORTAV_CTRL_R_OK 0x0040
#define ORTAV_CTRL_I1_OK 0x0080
#define ORTAV_CTRL_I2_OK 0x0100

// REG_CHAN bits (per channel: channel 1 value, channel 2 value << 1).
#define ORTAV_CHAN_OUT1 0x0001
#define ORTAV_CHAN_OUT2 0x0002
#define ORTAV_CHAN_PWR1 0x0004
#define ORTAV_CHAN_PWR2 0x0008
#define ORTAV_CHAN_SEL1 0x0010
#define ORTAV_CHAN_SEL2 0x0020
#define ORTAV_CHAN_CONNECT 0x0040
#define ORTAV_CHAN_ON_TRIGGER 0x0080
#define ORTAV_CHAN_ALL_OFF 0x0100
#define ORTAV_CHAN_STATE1 0x0200
#define ORTAV_CHAN_STATE2 0x0400
#define ORTAV_CHAN_TRIGGERED 0x0800

// Fixed current-calibration points and their DAC codes.
#define ORTAV_FIX_CURRENT_HI 0.00295
#define ORTAV_FIX_CURRENT_LO 0.0001
#define ORTAV_FIX_CODE_HI 1208
#define ORTAV_FIX_CODE_LO 41
// Nominal current gain, DAC codes per ampere.
#define ORTAV_NOMINAL_GAIN 409400.0

// Attributes of ortav_get_attribute.
#define ORTAV_ATTR_HW_VERSION 1 // ViInt32 hardware version (1 or 2)
#define ORTAV_ATTR_COEFF 2      // CoeffImage* into the session record

// ---------------------------------------------------------------------------
// Self-test question callback: called at each failed check with the channel (0
// when none applies), the result code and the failure's text. Non-zero stops the test.
typedef ViInt16 (*SftCallback)(ViSession vi, ViInt16 channel, ViInt16 code, ViChar message[]);

// The per-session record, found from a module session through the carrier
// attribute ATTR_MODULE_DATA. The application reads fixCurrent, fixCode and
// nominalR and edits coeff in place; its layout is fixed.
typedef struct DeviceData {
    ViInt32 modelCode;        // ORTAV_MODEL_CODE; anything else is not a session record
    ViSession vi;             // module session
    ViSession carrierVi;      // carrier session it was opened on
    ViStatus initStatus;      // 0, or the status of the step of ortav_init that failed
    ViInt32 hwVersion;        // 1 or 2
    SftCallback sftCallback;  // null when none is installed
    const ViReal64 *nominalR; // 18 nominal resistor values, never null
    CoeffImage coeff;         // calibration image from the module's EEPROM
    ViInt32 trigMode;         // 0 connect at once, 1 connect on trigger
    ViInt32 code[2];          // requested resistor code per channel
    ViInt32 applied[2];       // resistor code last written by the code update
    ViReal64 rSwitched[2];    // resistance of the code set by ortav_switch_R, ohms
    ViReal64 iSet[2];         // last current set by ortav_config_I, amperes
    ViReal64 fixCurrent[2];   // current calibration points, amperes
    ViUInt16 fixCode[2];      // DAC codes of those points
    ViUInt16 modeR;           // non-zero: change resistor codes through a transition code
    ViStatus fault;           // latched fault; guarded operations refuse while set
    ViInt16 state[2];         // output state bit per channel as last read
} DeviceData;

#ifdef __cplusplus
static_assert(offsetof(DeviceData, modelCode) == 0);
static_assert(offsetof(DeviceData, vi) == 4);
static_assert(offsetof(DeviceData, carrierVi) == 8);
static_assert(offsetof(DeviceData, initStatus) == 12);
static_assert(offsetof(DeviceData, hwVersion) == 16);
static_assert(offsetof(DeviceData, sftCallback) == 24);
static_assert(offsetof(DeviceData, nominalR) == 32);
static_assert(offsetof(DeviceData, coeff) == 40);
static_assert(offsetof(DeviceData, trigMode) == 384);
static_assert(offsetof(DeviceData, code) == 388);
static_assert(offsetof(DeviceData, applied) == 396);
static_assert(offsetof(DeviceData, rSwitched) == 408);
static_assert(offsetof(DeviceData, iSet) == 424);
static_assert(offsetof(DeviceData, fixCurrent) == 440);
static_assert(offsetof(DeviceData, fixCode) == 456);
static_assert(offsetof(DeviceData, modeR) == 460);
static_assert(offsetof(DeviceData, fault) == 464);
static_assert(offsetof(DeviceData, state) == 468);
static_assert(sizeof(DeviceData) == 472);
#else
_Static_assert(sizeof(DeviceData) == 472, "DeviceData layout is fixed");
#endif

// The driver's nominal resistor table: 18.75 * 2^k ohms, k = 0..17.
extern const ViReal64 ortav_nominalR[ORTAV_RESISTORS];

// ---------------------------------------------------------------------------
// Session, attributes, status.

// Opens the module at carrier position 1..4. ORTAV_WARN_INIT leaves the session
// open and usable (on nominal coefficients when the EEPROM image was unusable);
// the caller must still close it.
ViStatus ortav_init(ViSession carrierVi, ViUInt16 position, ViBoolean idQuery, ViBoolean reset,
                    ViSession *vi);
// Disconnects both outputs, releases the record, closes the module session.
ViStatus ortav_close(ViSession vi);
// Reset pulse, both resistor codes to 0, the record's dynamic fields cleared.
ViStatus ortav_reset(ViSession vi);
// ORTAV_ATTR_HW_VERSION stores a ViInt32, ORTAV_ATTR_COEFF a CoeffImage*.
ViStatus ortav_get_attribute(ViSession vi, ViInt32 attribute, void *value);
// Bit 0: output of channel 1 connected, bit 1: channel 2.
ViStatus ortav_state(ViSession vi, ViInt16 *state);
ViStatus ortav_error_query(ViSession vi, ViInt32 *code, ViChar message[]);
// Text of any status; the session is not used. 0, or VI_WARN_UNKNOWN_STATUS.
ViStatus ortav_error_message(ViSession vi, ViStatus status, ViChar message[]);
ViStatus ortav_revision_query(ViSession vi, ViChar driverRev[], ViChar instrRev[]);

// ---------------------------------------------------------------------------
// Outputs. Channel 1 or 2; 0 means both in the set operations.

// Resistance (10..10000 ohms, or 0 for no resistor), then power, then current if powered.
ViStatus ortav_config(ViSession vi, ViUInt16 channel, ViReal64 resistance, ViUInt16 powerOn,
                      ViReal64 current);
ViStatus ortav_config_R(ViSession vi, ViUInt16 channel, ViReal64 resistance);
// Current 0.0001..0.003 A.
ViStatus ortav_config_I(ViSession vi, ViUInt16 channel, ViReal64 current);
// Raw DAC code, no conversion (current calibration).
ViStatus ortav_set_I(ViSession vi, ViUInt16 channel, ViInt32 dacCode);
ViStatus ortav_powering(ViSession vi, ViUInt16 channel, ViUInt16 on);
ViStatus ortav_switch(ViSession vi, ViUInt16 channel, ViUInt16 on);
// 0: outputs connect at once; 1: on the carrier's trigger.
ViStatus ortav_config_trigger(ViSession vi, ViUInt16 mode);
// 1 while a switched-on output waits for the trigger.
ViStatus ortav_gstart_q(ViSession vi, ViInt16 *waiting);
ViStatus ortav_mode_R(ViSession vi, ViInt16 mode);
// What the driver holds as set on channel 1 or 2; null outputs are skipped.
ViStatus ortav_chan_q(ViSession vi, ViUInt16 channel, ViReal64 *resistance, ViInt16 *powered,
                      ViReal64 *current, ViInt16 *state);
// Connects resistor 1..18 alone, or in addition to the channel's code when
// accumulate is non-zero; resistor 0 disconnects all (calibration).
ViStatus ortav_switch_R(ViSession vi, ViUInt16 channel, ViUInt16 resistor, ViInt16 accumulate);

// ---------------------------------------------------------------------------
// Calibration coefficient store (the record itself, found through ATTR_MODULE_DATA).

// Reads the EEPROM image; ORTAV_ERROR_COEFF when unsigned or implausible. The
// record's image is replaced only by a good read.
ViStatus ortav_readFlash(DeviceData *rec);
// Writes the record's image (signed) when plausible, else ORTAV_ERROR_COEFF.
ViStatus ortav_writeFlash(DeviceData *rec);

// ---------------------------------------------------------------------------
// Self-test.

ViStatus ortav_sft_interface(ViSession vi, SftCallback callback);
// result: 0 passed (or stopped), 1/2 current check of that channel failed,
// 3 a resistor failed; message (256 bytes) holds the last failure's text.
ViStatus ortav_self_test(ViSession vi, ViInt16 *result, ViChar message[]);

#ifdef __cplusplus
}
#endif
