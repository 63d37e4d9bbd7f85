// The calibration image in the module's serial EEPROM, reached by driving its
// two-wire bus bit by bit through REG_SCL and REG_SDA.
#include <cmath>
#include <cstring>

#include "delay.h"
#include "internal.h"

namespace ortav::driver {

namespace {

constexpr ViUInt16 kSclHigh = 2;
constexpr ViUInt16 kSclLow = 0;
constexpr ViUInt16 kSdaHigh = 4;
constexpr ViUInt16 kSdaLow = 0;
constexpr std::uint8_t kDeviceWrite = 0xAE;
constexpr std::uint8_t kDeviceRead = 0xAF;
constexpr std::size_t kPage = 32;
constexpr double kNominalGain = ORTAV_NOMINAL_GAIN;
constexpr double kOffsetLimit = 16.0;

// Runs register steps in order until one fails; the status of the last one run.
template <typename... Steps> ViStatus sequence(Steps... steps) {
    ViStatus s = VI_SUCCESS;
    ((s = steps(), !failed(s)) && ...);
    return s;
}

bool within(double value, double nominal, double limit) {
    return std::fabs(value - nominal) <= limit; // false for NaN
}

} // namespace

ViStatus i2cStart(ViSession vi) {
    return sequence([&] { return out16(vi, ORTAV_REG_SCL, kSclHigh); },
                    [&] { return out16(vi, ORTAV_REG_SDA, kSdaHigh); },
                    [&] { return out16(vi, ORTAV_REG_SDA, kSdaLow); });
}

ViStatus i2cStop(ViSession vi) {
    return sequence([&] { return out16(vi, ORTAV_REG_SDA, kSdaLow); },
                    [&] { return out16(vi, ORTAV_REG_SCL, kSclHigh); },
                    [&] { return out16(vi, ORTAV_REG_SDA, kSdaHigh); });
}

ViStatus i2cClockBit(ViSession vi, ViUInt16 level) {
    return sequence([&] { return out16(vi, ORTAV_REG_SCL, kSclLow); },
                    [&] { return out16(vi, ORTAV_REG_SDA, level); },
                    [&] { return out16(vi, ORTAV_REG_SCL, kSclHigh); });
}

ViStatus i2cReadBit(ViSession vi, int &bit) {
    ViUInt16 value = 0;
    ViStatus s = in16(vi, ORTAV_REG_SDA, value);
    bit = (value & kSdaHigh) ? 1 : 0;
    return s;
}

ViStatus i2cWriteByte(ViSession vi, std::uint8_t byte) {
    ViStatus s = VI_SUCCESS;
    for (int i = 7; i >= 0; --i) {
        s = i2cClockBit(vi, (byte >> i) & 1 ? kSdaHigh : kSdaLow);
        if (failed(s))
            return s;
    }
    s = i2cClockBit(vi, kSdaHigh);
    if (failed(s))
        return s;
    int nack = 0;
    s = i2cReadBit(vi, nack);
    if (failed(s))
        return s;
    if (nack)
        return ORTAV_ERROR_COEFF;
    return out16(vi, ORTAV_REG_SCL, kSclLow);
}

ViStatus i2cReadByte(ViSession vi, bool last, std::uint8_t &byte) {
    ViStatus s = VI_SUCCESS;
    unsigned value = 0;
    for (int i = 0; i < 8; ++i) {
        s = i2cClockBit(vi, kSdaHigh);
        if (failed(s))
            return s;
        int bit = 0;
        s = i2cReadBit(vi, bit);
        if (failed(s))
            return s;
        value = (value << 1) | unsigned(bit);
    }
    byte = static_cast<std::uint8_t>(value);
    return i2cClockBit(vi, last ? kSdaHigh : kSdaLow);
}

ViStatus eepromRead(ViSession vi, void *buffer, std::size_t count) {
    if (vi == VI_NULL)
        return VI_ERROR_INV_OBJECT;
    ViStatus s =
        sequence([&] { return i2cStart(vi); }, [&] { return i2cWriteByte(vi, kDeviceWrite); },
                 [&] { return i2cWriteByte(vi, 0x00); }, [&] { return i2cWriteByte(vi, 0x00); },
                 [&] { return i2cStart(vi); }, [&] { return i2cWriteByte(vi, kDeviceRead); });
    if (failed(s))
        return s;
    auto *bytes = static_cast<std::uint8_t *>(buffer);
    for (std::size_t i = 0; i < count; ++i) {
        s = i2cReadByte(vi, i + 1 == count, bytes[i]);
        if (failed(s))
            return s;
    }
    return i2cStop(vi);
}

ViStatus eepromWrite(ViSession vi, const void *buffer, std::size_t count) {
    const auto *bytes = static_cast<const std::uint8_t *>(buffer);
    ViStatus s = out16(vi, ORTAV_REG_WP, 0);
    if (!failed(s)) {
        std::size_t pages = (count + kPage - 1) / kPage;
        for (std::size_t p = 0; p < pages; ++p) {
            std::size_t first = p * kPage;
            std::size_t end = std::min(first + kPage, count);
            s = sequence([&] { return i2cStart(vi); },
                         [&] { return i2cWriteByte(vi, kDeviceWrite); },
                         [&] { return i2cWriteByte(vi, std::uint8_t(first >> 8)); },
                         [&] { return i2cWriteByte(vi, std::uint8_t(first & 0xFF)); });
            for (std::size_t i = first; i < end && !failed(s); ++i)
                s = i2cWriteByte(vi, bytes[i]);
            if (failed(s))
                break;
            // A failed stop ends the write too: a later page must not hide it.
            s = i2cStop(vi);
            if (failed(s))
                break;
            Delay(kCodeSettle);
        }
    }
    // Protection goes back on whatever happened.
    ViStatus wp = out16(vi, ORTAV_REG_WP, 1);
    (void)wp;
    return s;
}

ViInt32 flashCoeff(DeviceData *rec, ViInt32 check) {
    CoeffImage &c = rec->coeff;
    if (check == 0) {
        for (int ch = 0; ch < ORTAV_CHANNELS; ++ch) {
            for (int k = 0; k < ORTAV_RESISTORS; ++k)
                c.R[ch][k] = ortav_nominalR[k];
            c.iGain[ch] = kNominalGain;
            c.iOffset[ch] = 0.0;
        }
        return 0;
    }
    for (int ch = 0; ch < ORTAV_CHANNELS; ++ch) {
        for (int k = 0; k < ORTAV_RESISTORS; ++k)
            if (!within(c.R[ch][k], ortav_nominalR[k], 0.2 * ortav_nominalR[k]))
                return -1;
        if (!within(c.iGain[ch], kNominalGain, 0.2 * kNominalGain))
            return -1;
        if (!within(c.iOffset[ch], 0.0, kOffsetLimit))
            return -1;
    }
    return 0;
}

} // namespace ortav::driver

using namespace ortav::driver;

extern "C" {

ViStatus ortav_readFlash(DeviceData *rec) {
    if (rec == nullptr || rec->modelCode != ORTAV_MODEL_CODE)
        return VI_ERROR_INV_SETUP;
    // Read into a copy: a failed read must not leave a half-read image in use.
    DeviceData trial = *rec;
    ViStatus s = eepromRead(rec->vi, &trial.coeff, sizeof(CoeffImage));
    if (failed(s))
        return s;
    if (trial.coeff.signature != ORTAV_COEFF_SIGNATURE || flashCoeff(&trial, 1) != 0)
        return ORTAV_ERROR_COEFF;
    rec->coeff = trial.coeff;
    return s;
}

ViStatus ortav_writeFlash(DeviceData *rec) {
    if (rec == nullptr || rec->modelCode != ORTAV_MODEL_CODE)
        return VI_ERROR_INV_SETUP;
    if (flashCoeff(rec, 1) != 0)
        return ORTAV_ERROR_COEFF;
    rec->coeff.signature = ORTAV_COEFF_SIGNATURE;
    return eepromWrite(rec->vi, &rec->coeff, sizeof(CoeffImage));
}

} // extern "C"
