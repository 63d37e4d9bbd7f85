// Readings and range selection on the first open multimeter.
#include "si.h"

#include "delay.h"

#include <cmath>

namespace {

#define SI_STEP(call, text)                                                                        \
    if (siCheck((call), text) < 0)                                                                 \
        return siStatus;

// Function codes and call texts of one quantity.
struct Reading {
    ViInt32 hpe1412Func;
    const char *hpe1412Text;
    ViInt32 hp3458aFunc;
    const char *hp3458aText;
    ViInt32 mervdFunc;
    const char *mervdText;
    const char *sulvatText;
    ViInt32 tarnelFunc;
    const char *tarnelText;
};

constexpr Reading kCurrent = {
    hpe1412_FUNC_CURR_DC,
    "p_hpe1412_func (viHP1412, hpe1412_FUNC_CURR_DC)",
    hp3458a_CONF_CURR_DC,
    "p_hp3458a_measure_Q (viHP3458, hp3458a_CONF_CURR_DC,result)",
    mervd_CONF_CURR_DC,
    "p_mervd_measure_Q (viDMM, mervd_CONF_CURR_DC, result)",
    "p_sulvat_read_Q(viDMM1, &num, result)",
    TARNEL_CONF_CURR_DC,
    "p_tarnel_measure_Q (viM_DMM1, TARNEL_CONF_CURR_DC, result)",
};

constexpr Reading kVoltage = {
    hpe1412_FUNC_VOLT_DC,
    "p_hpe1412_func (viHP1412, hpe1412_FUNC_VOLT_DC)",
    hp3458a_CONF_VOLT_DC,
    "p_hp3458a_measure_Q (viHP3458, hp3458a_CONF_VOLT_DC,result)",
    mervd_CONF_VOLT_DC,
    "p_mervd_measure_Q (viDMM, mervd_CONF_VOLT_DC, result)",
    "p_sulvat_read_Q (viDMM1, &num, result)",
    TARNEL_CONF_VOLT_DC,
    "p_tarnel_measure_Q (viM_DMM1, TARNEL_CONF_VOLT_DC, result)",
};

constexpr Reading kResistance = {
    hpe1412_CONF_FRES,
    "p_hpe1412_func (viHP1412, hpe1412_CONF_FRES)",
    hp3458a_CONF_FRES,
    "p_hp3458a_measure_Q (viHP3458, hp3458a_CONF_FRES,result)",
    mervd_CONF_FRES,
    "p_mervd_measure_Q (viDMM, mervd_CONF_FRES, result)",
    "p_sulvat_read_Q (viDMM1, &num, result)",
    TARNEL_CONF_FRES,
    "p_tarnel_measure_Q (viM_DMM1, TARNEL_CONF_FRES, result)",
};

int measure(const Reading &r, double *result) {
    Delay(0.005);
    ortav::clock::settleWaits();
    ViInt32 num = 0;
    if (viHP1412 != 0) {
        SI_STEP(p_hpe1412_func(viHP1412, r.hpe1412Func), r.hpe1412Text);
        SI_STEP(p_hpe1412_trigCoun(viHP1412, 1), "p_hpe1412_trigCoun (viHP1412, 1)");
        SI_STEP(p_hpe1412_initImm(viHP1412), "p_hpe1412_initImm (viHP1412)");
        SI_STEP(p_hpe1412_timedFetch_Q(viHP1412, 10000, result, &num),
                "p_hpe1412_timedFetch_Q (viHP1412, 10000, result, &num)");
    } else if (viHP3458 != 0) {
        SI_STEP(p_hp3458a_measure_Q(viHP3458, r.hp3458aFunc, result), r.hp3458aText);
    } else if (viDMM != 0) {
        SI_STEP(p_mervd_measure_Q(viDMM, r.mervdFunc, result), r.mervdText);
    } else if (viDMM1 != 0) {
        // The function is the one the last configMultimeter set.
        SI_STEP(p_sulvat_read_Q(viDMM1, &num, result), r.sulvatText);
    } else if (viM_DMM1 != 0) {
        SI_STEP(p_tarnel_measure_Q(viM_DMM1, r.tarnelFunc, result), r.tarnelText);
    } else {
        return -1;
    }
    return siStatus;
}

} // namespace

int measureI(double *result) {
    return measure(kCurrent, result);
}

int measureU(double *result) {
    return measure(kVoltage, result);
}

int measureR(double *result) {
    return measure(kResistance, result);
}

double siVoltRange(double volts) {
    if (volts <= 0.1)
        return 0.1;
    if (volts <= 1.0)
        return 1.0;
    return 10.0; // also NaN
}

double siResRange(double ohms) {
    const double x = ohms * 0.95;
    double rangestep = 100.0;
    // The decade above x; trunc on the double keeps an infinite x clear of an
    // integer conversion, and the cap below takes it.
    if (x > 100.0)
        rangestep = std::pow(10.0, std::trunc(std::log10(x)) + 1.0);
    if (rangestep > 1.0e8)
        rangestep = 1.0e8;
    return rangestep;
}

int measSetURange(double volts) {
    const double rangestep = siVoltRange(volts);
    ortav::clock::settleWaits();
    if (viHP1412 != 0) {
        siCheck(p_hpe1412_voltDcRang(viHP1412, 0, rangestep),
                "p_hpe1412_voltDcRang (viHP1412, VI_FALSE, rangestep)");
    } else if (viDMM1 != 0) {
        p_sulvat_voltDcRang(viDMM1, 0, rangestep);
    } else if (viDMM != 0) {
        siCheck(p_mervd_voltDcRang(viDMM, 0, rangestep),
                "p_mervd_voltDcRang (viDMM, VI_FALSE, rangestep)");
    } else if (viM_DMM1 != 0) {
        siCheck(p_tarnel_voltDcRang(viM_DMM1, 0, rangestep),
                "p_tarnel_voltDcRang (viM_DMM1, VI_FALSE, rangestep)");
    }
    return siStatus;
}

int measSetResRange(double ohms) {
    const double rangestep = siResRange(ohms);
    ortav::clock::settleWaits();
    if (viHP1412 != 0) {
        siCheck(p_hpe1412_resRang(viHP1412, 0, rangestep),
                "p_hpe1412_resRang (viHP1412, VI_FALSE, rangestep)");
    } else if (viHP3458 != 0) {
        p_hp3458a_resRang(viHP3458, 0, rangestep);
    } else if (viDMM1 != 0) {
        siCheck(p_sulvat_resRang(viDMM1, 0, rangestep),
                "p_sulvat_resRang (viDMM1, VI_FALSE, rangestep)");
    } else if (viDMM != 0) {
        siCheck(p_mervd_fresRang(viDMM, 0, rangestep),
                "p_mervd_fresRang (viDMM, VI_FALSE, rangestep)");
    } else if (viM_DMM1 != 0) {
        siCheck(p_tarnel_resRang(viM_DMM1, 0, rangestep),
                "p_tarnel_resRang (viM_DMM1, VI_FALSE, rangestep)");
    }
    return siStatus;
}
