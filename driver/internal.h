// Helpers shared by the driver's operations (and reached by its tests).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "carrik.h"
#include "delay.h"
#include "ortav.h"
#include "visa.h"

namespace ortav::driver {

constexpr double kCodeSettle = 0.005;  // after a resistor code, and per EEPROM page
constexpr double kDacSettle = 0.001;   // after a DAC write, a power change, a verified select
constexpr double kBusyRecheck = 0.002; // between the two busy reads
constexpr std::uint32_t kCodeBits = 0x3FFFF;

inline bool failed(ViStatus s) {
    return s < 0;
}

// Bits of one channel argument (1, 2, or 0 for both).
struct ChannelBits {
    ViUInt16 out, power, select, state, currentOk;
};
ChannelBits channelBits(ViUInt16 channel);

// Session lookup: the record stored with the module session.
ViStatus lookup(ViSession vi, DeviceData *&rec);

// Register access. Every access to the carrier first sleeps the waits a caller
// put off, so the module sees them all before it.
inline ViStatus in16(ViSession vi, ViUInt32 offset, ViUInt16 &value) {
    ortav::clock::settleWaits();
    return carrik_m_in16(vi, offset, &value);
}
inline ViStatus out16(ViSession vi, ViUInt32 offset, ViUInt16 value) {
    ortav::clock::settleWaits();
    return carrik_m_out16(vi, offset, value);
}

void resetDeviceData(DeviceData *rec);
ViStatus getState(DeviceData *rec);
ViStatus chkBusy(DeviceData *rec);
ViStatus writeVerify(ViSession vi, ViUInt32 offset, ViUInt16 mask, ViUInt16 value);
ViStatus selectChannel(ViSession vi, ViUInt16 channel);

// Output code update.
std::int32_t TransCod(std::int32_t oldCode, std::int32_t newCode);
ViStatus writeCode(ViSession vi, std::uint32_t code);
ViStatus applyCodes(DeviceData *rec, ViUInt16 channel);

// EEPROM bus and coefficient store.
ViStatus i2cStart(ViSession vi);
ViStatus i2cStop(ViSession vi);
ViStatus i2cClockBit(ViSession vi, ViUInt16 level);
ViStatus i2cReadBit(ViSession vi, int &bit);
ViStatus i2cWriteByte(ViSession vi, std::uint8_t byte);
ViStatus i2cReadByte(ViSession vi, bool last, std::uint8_t &byte);
ViStatus eepromRead(ViSession vi, void *buffer, std::size_t count);
ViStatus eepromWrite(ViSession vi, const void *buffer, std::size_t count);
ViInt32 flashCoeff(DeviceData *rec, ViInt32 check);

// Self-test.
ViStatus testRegBits(ViSession vi, ViUInt32 offset, int bits);

// Texts: UTF-8, written into a caller's buffer of `size` bytes, cut on a
// character boundary when they do not fit.
void putText(ViChar *dst, std::size_t size, std::string_view text);
void appendText(ViChar *dst, std::size_t size, std::string_view text);
// The driver's own text for a status, or empty when the status is not its own.
std::string_view ownStatusText(ViStatus status, char (&scratch)[64]);

} // namespace ortav::driver
