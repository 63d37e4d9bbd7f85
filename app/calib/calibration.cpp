// Calibration: the whole procedure with the reference multimeter (Calibrate)
// and cell by cell through the measured-value popup DP (selectR, selectN).
#include "calib.h"

#include "calib_math.h"
#include "calibration_progress.h"
#include "cells.h"
#include "delay.h"
#include "front_panel.h"
#include "long_run.h"
#include "msgp.h"
#include "p_ortav.h"
#include "protocol_text.h"
#include "run_stop.h"
#include "si_calls.h"
#include "userint.h"

#include <cmath>
#include <cstdio>
#include <string>

int popupResult = 0;

namespace {

const char *const kCalibTitle = "Калибровка ORTAV";
const char *const kCalibrationInterrupted = "Калибровка прервана, коэффициенты в РПЗУ не записаны.";
const char *const kCalibrationStoreReminder =
    "Калибровка завершена. Коэффициенты только в таблицах: в модуль их записывает "
    "«Записать flash».";
constexpr double kCalibrateTolerance = 0.3; // one resistor in Calibrate
constexpr double kSelectTolerance = 0.1;    // one resistor in selectR: "strongly different"
constexpr double kSelectAccuracy = 0.01;    // below it no repeat is offered
constexpr double kRangeFactor = 10.0;
constexpr double kPairTolerance = 0.3;
constexpr double kReadingSettle = 0.2;
constexpr double kCurrentRange = 10.0;
constexpr short kFuncResistance = 2;
constexpr short kFuncVoltage = 5;

// A driver call's status on the status line; true when the procedure must stop.
bool failed(ViStatus status, const char *callText) {
    if (status != 0)
        error(callText, status);
    return status < 0;
}

// A reading's status; true when the procedure must stop. The multimeter layer
// has put the meter's own text on the status line (the module driver has no
// text for the meter's statuses); it stays there, in red, as a driver error
// would. With no multimeter open nothing was said yet.
bool readingFailed(ViStatus status, unsigned linesBefore, const char *callText) {
    if (status >= 0)
        return false;
    if (multimeterStatusLines() == linesBefore)
        SetCtrlVal(mp, MP_MSG, (std::string("Нет открытого мультиметра ") + callText).c_str());
    SetCtrlAttribute(mp, MP_MSG, ATTR_TEXT_COLOR, VAL_RED);
    return true;
}

double cell(int table, int column, int row) {
    double v = 0.0;
    GetTableCellVal(cpPanel, table, MakePoint(column, row), &v);
    return v;
}

// Shows DP and waits for "Ввести" or "Отмена".
void askMeasured() {
    popupResult = 0;
    InstallPopup(dpPanel);
    WaitUntil("DP", dpPanel, [] { return popupResult != 0; });
    if (popupResult == 0) { // nobody answered: the same as a cancel
        popupResult = -1;
        RemovePopup(0);
    }
}

void showEntry(int chan, bool resistance, double expected) {
    SetCtrlVal(dpPanel, DP_CHAN, chan);
    SetCtrlAttribute(dpPanel, DP_MEAS_R, ATTR_VISIBLE, resistance ? 1 : 0);
    SetCtrlAttribute(dpPanel, DP_MEAS_U, ATTR_VISIBLE, resistance ? 0 : 1);
    SetCtrlVal(dpPanel, resistance ? DP_MEAS_R : DP_MEAS_U, expected);
}

// "Do not use the measured value?": true when the operator says yes.
bool rejectMeasured(double measured, double expected) {
    char text[256];
    {
        ortav::calib::CNumbers numbers;
        std::snprintf(text, sizeof text,
                      "Измеренное значение %lg сильно отличается от ожидаемого %lg\n"
                      "Не использовать измеренное значение?",
                      measured, expected);
    }
    return ConfirmPopup(kCalibTitle, text) == 1;
}

bool g_calibrating = false;

int calibrateRun(int chan, DeviceData *rec) {
    int ok = 1;
    double Ri = 0.0;
    bool interrupted = false, completed = false;
    int point = 0;
    // Looked at before each value: a stop request ends the run with the module reset.
    const auto stopHere = [&interrupted, &point] {
        longRunPoint(++point);
        return interrupted = ortav::calib::runStopRequested();
    };
    const auto wanted = [chan](int c) { return chan == 0 || c == chan; };
    const int channels = chan == 0 ? 2 : 1;
    std::string statusBefore;
    GetCtrlVal(mp, MP_MSG, statusBefore);
    // A value's settles with nothing sent between them are slept as one.
    const ortav::clock::CoalescedWaits together;

    longRunBegin("\r\nИДЕТ КАЛИБРОВКА\r\n", (ORTAV_RESISTORS + 3) * channels + 4, true);
    SetWaitCursor(1);
    configMultimeter(kFuncResistance);
    SetActiveCtrl(cpPanel, CP_TABLE);
    SetActiveTableCell(cpPanel, CP_TABLE, MakePoint(1, 1));
    SetCtrlAttribute(cpPanel, CP_TABLE, ATTR_FIRST_VISIBLE_ROW, 3);

    // Each resistor alone.
    for (int k = 1; k <= ORTAV_RESISTORS; ++k) {
        for (int c = 1; c <= 2; ++c) {
            if (!wanted(c))
                continue;
            if (stopHere())
                goto end;
            const double nominal = nominalR[k - 1];
            measSetResRange(nominal);
            const unsigned lines = multimeterStatusLines();
            if (failed(ortav_switch(mvi, c, 1), "ortav_switch (mvi, chan+1, 1)") ||
                failed(ortav_switch_R(mvi, c, k, 0), "ortav_switch_R(mvi,chan+1,j+1,0)") ||
                readingFailed(measureR(&Ri), lines, "measureR(&Ri)"))
                goto end;
            ProcessSystemEvents();
            if (std::fabs(Ri - nominal) <= kCalibrateTolerance * nominal) {
                SetTableCellAttribute(cpPanel, CP_TABLE, MakePoint(c, k), ATTR_TEXT_COLOR,
                                      VAL_BLACK);
            } else {
                SetTableCellAttribute(cpPanel, CP_TABLE, MakePoint(c, k), ATTR_TEXT_COLOR, VAL_RED);
                ok = 0;
            }
            SetTableCellVal(cpPanel, CP_TABLE, MakePoint(c, k), Ri);
            ortav::calib::calibrationValue(
                {c, ortav::calib::CalibrationValue::Resistor, k, Ri,
                 std::fabs(Ri - nominal) > kCalibrateTolerance * nominal});
            ProcessSystemEvents();
            if (failed(ortav_switch(mvi, c, 0), "ortav_switch (mvi, chan+1, 0)") ||
                failed(ortav_switch_R(mvi, c, 0, 0), "ortav_switch_R(mvi,chan+1,0,0)"))
                goto end;
        }
    }

    // The series resistance from three resistor pairs.
    for (int c = 1; c <= 2; ++c) {
        if (!wanted(c))
            continue;
        double sum = 0.0;
        for (int j = 1; j <= 3; ++j) {
            if (stopHere())
                goto end;
            measSetResRange(nominalR[j - 1]);
            const unsigned lines = multimeterStatusLines();
            if (failed(ortav_switch(mvi, c, 1), "ortav_switch (mvi, chan+1, 1)") ||
                failed(ortav_switch_R(mvi, c, j, 0), "ortav_switch_R(mvi,chan+1,j+1,0)") ||
                failed(ortav_switch_R(mvi, c, j + 1, 1), "ortav_switch_R(mvi,chan+1,j+2,1)") ||
                readingFailed(measureR(&Ri), lines, "measureR(&Ri)") ||
                failed(ortav_switch(mvi, c, 0), "ortav_switch (mvi, chan+1, 0)") ||
                failed(ortav_switch_R(mvi, c, 0, 0), "ortav_switch_R(mvi,chan+1,0,0)"))
                goto end;
            sum += ortav::calib::seriesEstimate(Ri, cell(CP_TABLE, c, j), cell(CP_TABLE, c, j + 1));
        }
        SetTableCellVal(cpPanel, CP_TABLE, MakePoint(c, 19), sum / 3.0);
        ortav::calib::calibrationValue(
            {c, ortav::calib::CalibrationValue::Series, 0, sum / 3.0, false});
    }

    if (ok == 0 && ConfirmPopup(kCalibTitle, "Калибровка резисторов показала отклонение от "
                                             "номинала\nПрервать калибровку?") == 1)
        goto end;

    configMultimeter(kFuncVoltage);
    measSetURange(kCurrentRange);
    // The tables into the record; a cell that holds no usable number keeps the
    // record's value, so the driver never works with one.
    for (int c = 1; c <= 2; ++c) {
        double v = 0.0;
        for (int k = 1; k <= ORTAV_RESISTORS; ++k)
            if (ortav::calib::readCell(cpPanel, CP_TABLE, c, k, &v) && v > 0.0)
                rec->coeff.R[c - 1][k - 1] = v;
        if (ortav::calib::readCell(cpPanel, CP_TABLE, c, 19, &v) && v >= 0.0)
            rec->coeff.r0[c - 1] = v;
    }

    // The real current at the two calibration codes, across resistor 7 or 8.
    for (int p = 1; p <= 2; ++p) {
        for (int c = 1; c <= 2; ++c) {
            if (stopHere())
                goto end;
            const double Rs = rec->coeff.R[c - 1][5 + p];
            const double I = IFix[p - 1];
            const ViInt32 code = static_cast<ViUInt16>(NFix[p - 1]);
            if (failed(ortav_reset(mvi), "ortav_reset(mvi)") ||
                failed(ortav_config(mvi, c, Rs, 1, I), "ortav_config (mvi, chan+1, R, 1, stdI)") ||
                failed(ortav_switch(mvi, c, 1), "ortav_switch (mvi, chan+1, 1)"))
                goto end;
            ortav_set_I(mvi, c, code);
            double U = I;
            // A failed reading leaves the cell as it was: U / Rs of the preset
            // would be no current at all. The multimeter layer has said why.
            if (measureU(&U) < 0)
                continue;
            const double real = U / Rs;
            calCurrent[(p - 1) * 2 + (c - 1)] = real;
            SetTableCellVal(cpPanel, CP_TABLE_I, MakePoint(c, p), real);
            ortav::calib::calibrationValue(
                {c, ortav::calib::CalibrationValue::Current, p, real, false});
            ProcessSystemEvents();
        }
    }
    completed = true;

end:
    ortav_reset(mvi);
    SetWaitCursor(0);
    longRunEnd();
    // The tables hold the new values; the module holds them only once stored.
    std::string statusNow;
    GetCtrlVal(mp, MP_MSG, statusNow);
    if (completed && !interrupted && statusNow == statusBefore) { // a report of the run stays
        SetCtrlVal(mp, MP_MSG, kCalibrationStoreReminder);
        SetCtrlAttribute(mp, MP_MSG, ATTR_TEXT_COLOR, VAL_BLACK);
    }
    ortav::calib::calibrationInterrupted(interrupted);
    if (interrupted) {
        ortav::calib::clearRunStop();
        MessagePopup(kCalibTitle, kCalibrationInterrupted);
    }
    return 0;
}

} // namespace

int Calibrate(int chan) {
    DeviceData *rec = nullptr;
    if (const ViStatus s = moduleCheck(&rec); s != 0)
        return s;
    // The menu stays usable during the run; a second start would interleave.
    if (g_calibrating)
        return 0;
    g_calibrating = true;
    ortav::calib::calibrationEvent({ortav::calib::CalibrationEvent::Started});
    const int r = calibrateRun(chan, rec);
    ortav::calib::calibrationEvent({ortav::calib::CalibrationEvent::Ended});
    g_calibrating = false;
    return r;
}

int inputVal(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) {
        popupResult = 1;
        RemovePopup(0);
    }
    return 0;
}

int closePopup(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) {
        popupResult = -1;
        RemovePopup(0);
    }
    return 0;
}

namespace {

void selectResistor(int x, int y) {
    const double expected = nominalR[y - 1];
    double range = expected;
    int tries = 0;
    double M = 0.0;
    showEntry(x, true, expected);
    for (;;) {
        if (mvi != 0) {
            if (failed(ortav_switch_R(mvi, x, y, 0), "ortav_switch_R(mvi,pt.x,pt.y,0)") ||
                failed(ortav_switch(mvi, x, 1), "ortav_switch (mvi, pt.x, 1)")) {
                SetWaitCursor(0);
                return;
            }
        }
        if (autoMeasure) {
            configMultimeter(kFuncResistance);
            measSetResRange(range);
            Delay(kReadingSettle);
            if (measureR(&M) >= 0)
                SetCtrlVal(dpPanel, DP_MEAS_R, M);
        }
        askMeasured();
        if (mvi != 0 && failed(ortav_switch(mvi, x, 0), "ortav_switch (mvi, pt.x, 0)")) {
            SetWaitCursor(0);
            return;
        }
        if (popupResult != 1)
            return;
        GetCtrlVal(dpPanel, DP_MEAS_R, &M);
        if (M == 0.0 || std::fabs(M - expected) > kSelectTolerance * expected) {
            if (rejectMeasured(M, expected))
                return;
        }
        if (!autoMeasure || tries == 1 ||
            (M != 0.0 && std::fabs(M - expected) <= kSelectAccuracy * expected) ||
            ConfirmPopup(kCalibTitle, "Повторить измерение на старшем диапазоне?") != 1) {
            SetTableCellVal(cpPanel, CP_TABLE, MakePoint(x, y), M);
            return;
        }
        range *= kRangeFactor;
        SetTableCellVal(cpPanel, CP_TABLE, MakePoint(x, y), M);
        tries = 1;
    }
}

void selectSeries(int x) {
    double sum = 0.0;
    for (int j = 1; j <= 3; ++j) {
        if (failed(ortav_switch(mvi, x, 1), "ortav_switch (mvi, pt.x, 1)") ||
            failed(ortav_switch_R(mvi, x, j, 0), "ortav_switch_R(mvi,pt.x,j+1,0)") ||
            failed(ortav_switch_R(mvi, x, j + 1, 1), "ortav_switch_R(mvi,pt.x,j+2,1)")) {
            SetWaitCursor(0);
            return;
        }
        const double expected = ortav::calib::parallel(nominalR[j - 1], nominalR[j]);
        showEntry(x, true, expected);
        askMeasured();
        if (failed(ortav_switch(mvi, x, 0), "ortav_switch (mvi, pt.x, 0)") ||
            failed(ortav_switch_R(mvi, x, 0, 0), "ortav_switch_R(mvi,pt.x,0,0)")) {
            SetWaitCursor(0);
            return;
        }
        if (popupResult != 1)
            return;
        double M = 0.0;
        GetCtrlVal(dpPanel, DP_MEAS_R, &M);
        if (std::fabs(M - expected) > kPairTolerance * expected && rejectMeasured(M, expected))
            return;
        sum += ortav::calib::seriesEstimate(M, cell(CP_TABLE, x, j), cell(CP_TABLE, x, j + 1));
    }
    SetTableCellVal(cpPanel, CP_TABLE, MakePoint(x, 19), sum / 3.0);
}

} // namespace

int selectR(int, int, int event, void *, int eventData1, int eventData2) {
    if (event != EVENT_LEFT_DOUBLE_CLICK)
        return 0;
    const int y = eventData1, x = eventData2;
    if (x < 1 || x > 2 || y < 1 || y > 19)
        return 0;
    if (y == 19)
        selectSeries(x);
    else
        selectResistor(x, y);
    return 0;
}

int selectN(int, int, int event, void *, int eventData1, int eventData2) {
    if (event != EVENT_LEFT_DOUBLE_CLICK)
        return 0;
    const int y = eventData1, x = eventData2;
    if (x < 1 || x > 2 || y < 1 || y > 2)
        return 0;
    double Rs = 0.0;
    if (!ortav::calib::readCell(cpPanel, CP_TABLE, x, y + 6, &Rs) || Rs <= 0.0) {
        char text[256];
        std::snprintf(text, sizeof text,
                      "В таблице нет сопротивления резистора %d канала %d, через который "
                      "измеряется ток.\nСначала откалибруйте этот резистор.",
                      y + 6, x);
        MessagePopup(kCalibTitle, text);
        return 0;
    }
    const double I = IFix[y - 1];
    const ViInt32 code = static_cast<ViUInt16>(NFix[y - 1]);
    if (mvi == 0 || !failed(ortav_reset(mvi), "ortav_reset(mvi)")) {
        showEntry(x, false, I * Rs);
        // A failure after the source is powered still ends in the reset below.
        bool ready = true;
        if (mvi != 0) {
            if (failed(ortav_config(mvi, x, Rs, 1, I), "ortav_config (mvi, pt.x, R, 1, stdI)") ||
                failed(ortav_switch(mvi, x, 1), "ortav_switch (mvi, pt.x, 1)"))
                ready = false;
            else
                ortav_set_I(mvi, x, code);
        }
        if (ready) {
            if (autoMeasure) {
                Delay(kReadingSettle);
                configMultimeter(kFuncVoltage);
                double U = 0.0;
                if (measureU(&U) >= 0)
                    SetCtrlVal(dpPanel, DP_MEAS_U, U);
            }
            askMeasured();
            if (popupResult == 1) {
                double U = 0.0;
                GetCtrlVal(dpPanel, DP_MEAS_U, &U);
                const double real = U / Rs;
                calCurrent[(y - 1) * 2 + (x - 1)] = real;
                SetTableCellVal(cpPanel, CP_TABLE_I, MakePoint(x, y), real);
            }
        }
    }
    if (mvi != 0)
        ortav_reset(mvi);
    SetWaitCursor(0);
    return 0;
}
