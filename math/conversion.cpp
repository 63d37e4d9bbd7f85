// Resistance and current to module codes, and a resistor code back to ohms.
#include <cmath>

#include "float_cast.h"
#include "ortav_math.h"

namespace {

constexpr double kOpenCircuit = 999999999.0;

bool validChannel(const CoeffImage *image, ViInt32 channelIndex) {
    return image != nullptr && (channelIndex == 0 || channelIndex == 1);
}

} // namespace

extern "C" {

ORTAV_MATH_API double ortavMath_countR(const CoeffImage *image, ViInt32 code,
                                       ViInt32 channelIndex) {
    if (!validChannel(image, channelIndex)) {
        return kOpenCircuit;
    }
    const double r0 = image->r0[channelIndex];
    const auto bits = static_cast<ViUInt32>(code);
    double conductance = 0.0;
    for (int k = 0; k < ORTAV_RESISTORS; ++k) {
        const double rk = image->R[channelIndex][k];
        // A resistor measured as (near) zero was never fitted; skip it.
        if (((bits >> k) & 1u) != 0 && rk > 0.1) {
            conductance += 1.0 / (rk - r0);
        }
    }
    if (conductance == 0.0) {
        return kOpenCircuit;
    }
    return r0 + 1.0 / conductance;
}

ORTAV_MATH_API ViInt32 ortavMath_RtoN(const CoeffImage *image, ViInt32 channelIndex,
                                      ViReal64 resistance) {
    if (!validChannel(image, channelIndex)) {
        return 0;
    }
    if (std::fabs(resistance) < 1e-10) {
        return 0;
    }
    const double r0 = image->r0[channelIndex];

    // Take resistors from the smallest up while their branch still fits, so the
    // parallel conductance approaches the target from below. Each skipped one
    // is remembered with the overshoot it would have caused.
    struct Candidate {
        ViInt32 code;
        double v; // negative: reciprocal of the conductance excess
    };
    Candidate candidates[ORTAV_RESISTORS];
    int candidateCount = 0;

    double g = resistance - r0; // branch resistance still to realise
    ViInt32 code = 0;
    bool taken = false;
    for (int k = 0; k < ORTAV_RESISTORS; ++k) {
        const double d = image->R[channelIndex][k] - r0;
        const ViInt32 bit = static_cast<ViInt32>(1) << k;
        if (!(d < g)) {
            code |= bit;
            taken = true;
            g = g * d / (d - g);
        } else {
            candidates[candidateCount++] = {code | bit, g * d / (d - g)};
        }
    }
    if (!taken) {
        return -1;
    }
    // Overshooting by less than the final shortfall is the closer code; the
    // last such candidate is the finest step.
    ViInt32 result = code;
    for (int i = 0; i < candidateCount; ++i) {
        if (-candidates[i].v > g) {
            result = candidates[i].code;
        }
    }
    return result;
}

ORTAV_MATH_API ViUInt16 ortavMath_ItoN(const CoeffImage *image, ViInt32 channelIndex,
                                       ViReal64 current) {
    if (!validChannel(image, channelIndex)) {
        return 0;
    }
    const double n = image->iGain[channelIndex] * current + image->iOffset[channelIndex] + 0.5;
    const auto truncated = static_cast<ViUInt32>(ortav_math::truncToInt32(n));
    return static_cast<ViUInt16>(truncated & 0xFFFFu);
}

} // extern "C"
