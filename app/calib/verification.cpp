// The verification sheet: one value at a time (SET, INPUT), the judging of a
// point and the switches of the sheet.
#include "calib.h"

#include "delay.h"
#include "front_panel.h"
#include "judged_points.h"
#include "norm.h"
#include "p_ortav.h"
#include "reference_uncertainty.h"
#include "si_calls.h"
#include "userint.h"
#include "visa.h"

#include <cstdio>
#include <ctime>

int autoMeasure = 0;
int autoPov = 0;
double ambientTemp = 20.0;

namespace {

constexpr double kSettle = 0.05;
constexpr double kCurrentRange = 10.0;
constexpr short kFuncResistance = 2;
constexpr short kFuncVoltage = 5;

// The value being judged was typed by the operator (INPUT), not read from the
// multimeter: its uncertainty is not the multimeter's.
bool g_typed = false;

// Resistor 7 of the channel (nominal 1200 ohms): the shunt of the current mode.
double shunt(const DeviceData *rec, int chan) {
    return rec->coeff.R[chan - 1][6];
}

void setResistance(short chan) {
    double R = 0.0;
    GetCtrlVal(ppPanel, PP_R_Z, &R);
    SetCtrlVal(ppPanel, PP_R_I, R);
    measSetResRange(R);
    if (autoMeasure)
        configMultimeter(kFuncResistance);
    // The value was typed by the operator: say why the module refused it.
    if (const ViStatus s = ortav_config(mvi, chan, R, 0, 0.0); s < 0) {
        error("ortav_config (mvi, chan, R, 0, 0.0)", s);
        return;
    }
    if (const ViStatus s = ortav_switch(mvi, chan, 1); s != 0) {
        error("ortav_switch (mvi, chan, 1)", s);
        if (s < 0) {
            ortav_reset(mvi);
            return;
        }
    }
    Delay(kSettle);
    double M = 0.0;
    if (autoMeasure && measureR(&M) >= 0) {
        configMultimeter(kFuncVoltage);
        measSetResRange(M);
        SetCtrlVal(ppPanel, PP_R_I, M);
        setupPresult(1, chan);
    } else {
        SetActiveCtrl(ppPanel, PP_R_I);
    }
}

void setCurrent(short chan) {
    DeviceData *rec = nullptr;
    if (moduleCheck(&rec) != 0)
        return;
    const double Rs = shunt(rec, chan);
    double mA = 0.0;
    GetCtrlVal(ppPanel, PP_R_Z, &mA);
    const double I = 0.001 * mA;
    SetCtrlVal(ppPanel, PP_R_I, I * Rs);
    if (autoMeasure) {
        measSetURange(kCurrentRange);
        configMultimeter(kFuncVoltage);
    }
    if (const ViStatus s = ortav_config(mvi, chan, Rs, 1, I); s < 0) {
        error("ortav_config (mvi, chan, Rs, 1, I)", s);
        return;
    }
    if (const ViStatus s = ortav_switch(mvi, chan, 1); s != 0) {
        error("ortav_switch (mvi, chan, 1)", s);
        if (s < 0) {
            ortav_reset(mvi);
            return;
        }
    }
    Delay(kSettle);
    double U = 0.0;
    if (autoMeasure && measureU(&U) >= 0) {
        SetCtrlVal(ppPanel, PP_R_I, U);
        setupPresult(2, chan);
    } else {
        SetActiveCtrl(ppPanel, PP_R_I);
    }
}

} // namespace

double defPermDev(double R) {
    return ortav::calib::permittedDeviation(R, hardVersion, ambientTemp);
}

int setupPresult(short mode, short chan) {
    DeviceData *rec = nullptr;
    if (const ViStatus s = moduleCheck(&rec); s != 0)
        return s;
    if (chan < 1 || chan > 2)
        return VI_ERROR_PARAMETER2;
    ortav_switch(mvi, chan, 0);
    double set = 0.0, meas = 0.0;
    GetCtrlVal(ppPanel, PP_R_Z, &set);
    GetCtrlVal(ppPanel, PP_R_I, &meas);
    const double reading = meas;
    int table = PP_TABLE_R;
    if (mode != 1) {
        meas = 1000.0 * meas / shunt(rec, chan); // volts across the shunt to milliamperes
        table = PP_TABLE_I;
    }
    InsertTableRows(ppPanel, table, -1, 1);
    int n = 0;
    GetNumTableRows(ppPanel, table, &n);
    const double diff = meas - set;
    char chanText[8];
    std::snprintf(chanText, sizeof chanText, "%d", chan);
    SetTableCellVal(ppPanel, table, MakePoint(1, n), chanText);
    SetTableCellVal(ppPanel, table, MakePoint(2, n), set);
    SetTableCellVal(ppPanel, table, MakePoint(3, n), meas);
    SetTableCellVal(ppPanel, table, MakePoint(4, n), diff);
    const bool failed = mode == 1 ? ortav::calib::resistanceFailed(diff, defPermDev(set))
                                  : ortav::calib::currentFailed(diff);
    if (failed)
        SetTableCellAttribute(ppPanel, table, MakePoint(4, n), ATTR_TEXT_COLOR, VAL_RED);
    SetCtrlAttribute(ppPanel, table, ATTR_FIRST_VISIBLE_ROW, n);
    writeResults(chan, set, meas, diff, failed ? 1 : 0);
    ortav::calib::JudgedPoint judged;
    judged.time = std::time(nullptr);
    judged.chan = chan;
    judged.mode = mode == 1 ? 1 : 2;
    judged.set = set;
    judged.measured = meas;
    judged.deviation = diff;
    judged.permitted = mode == 1 ? defPermDev(set) : ortav::calib::kCurrentNormMilliamps;
    judged.failed = failed;
    ortav::calib::assessPoint(judged, !g_typed, reading, shunt(rec, chan));
    ortav::calib::pointJudged(judged);
    SetActiveCtrl(ppPanel, PP_R_Z);
    return 0;
}

int inputP(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT)
        return 0;
    DeviceData *rec = nullptr;
    if (const ViStatus s = moduleCheck(&rec); s != 0)
        return s;
    short chan = 1, mode = 1;
    GetCtrlVal(ppPanel, PP_CHAN, &chan);
    GetCtrlVal(ppPanel, PP_MODE, &mode);
    g_typed = true;
    setupPresult(mode, chan);
    g_typed = false;
    SetActiveCtrl(ppPanel, PP_R_Z);
    return 0;
}

int setP(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT || mvi == 0)
        return 0;
    if (autoPov)
        return autoVerification();
    short chan = 1, mode = 1;
    GetCtrlVal(ppPanel, PP_CHAN, &chan);
    GetCtrlVal(ppPanel, PP_MODE, &mode);
    Delay(kSettle);
    SetCtrlVal(ppPanel, PP_CHAN, chan);
    Delay(kSettle);
    if (mode == 1)
        setResistance(chan);
    else
        setCurrent(chan);
    return 0;
}

int tabCB(int, int, int event, void *, int, int eventData2) {
    if (event != EVENT_TAB_CHANGED || eventData2 != ppPanel)
        return 0;
    if (logFile == 0)
        SetupChlp(&logFile, logFileName);
    setChan(ppPanel, PP_CHAN, EVENT_COMMIT, nullptr, 0, 0);
    return 0;
}

int auto_pov(int panel, int control, int event, void *, int, int) {
    if (event == EVENT_COMMIT)
        GetCtrlVal(panel, control, &autoPov);
    return 0;
}

int auto_measureCB(int panel, int control, int event, void *, int, int) {
    if (event == EVENT_COMMIT)
        GetCtrlVal(panel, control, &autoMeasure);
    return 0;
}

int temparatureCB(int panel, int control, int event, void *, int, int) {
    if (event == EVENT_COMMIT)
        GetCtrlVal(panel, control, &ambientTemp);
    return 0;
}

// The rule and the period hold for every run until the operator changes them
// or the program ends.
int decisionRuleCB(int panel, int control, int event, void *, int, int) {
    int rule = 0;
    if (event == EVENT_COMMIT && GetCtrlVal(panel, control, &rule) >= 0)
        ortav::calib::uncertaintySettings().rule =
            rule == 1 ? ortav::uncertainty::Rule::Guarded : ortav::uncertainty::Rule::Simple;
    return 0;
}

int meterPeriodCB(int panel, int control, int event, void *, int, int) {
    int period = 0;
    if (event == EVENT_COMMIT && GetCtrlVal(panel, control, &period) >= 0 && period >= 0 &&
        period <= 2)
        ortav::calib::uncertaintySettings().period =
            static_cast<ortav::uncertainty::Period>(period);
    return 0;
}
