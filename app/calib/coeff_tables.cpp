// The calibration sheet's coefficient tables: the module's image shown in TABLE
// and TABLE_I, read from and written to the module, and reset to nominal values.
#include "calib.h"
#include "calibration_progress.h"

#include "calib_math.h"
#include "carrik.h"
#include "cells.h"
#include "front_panel.h"
#include "p_ortav.h"
#include "protocol_text.h"
#include "userint.h"
#include "visa.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

using ortav::calib::readCell;

namespace {

const char *const kCalibTitle = "Калибровка ORTAV";
// What the driver accepts in a stored image: resistors and the current gain
// within 20 % of nominal, the offset within 16 codes.
constexpr double kStoredTolerance = 0.2;
constexpr double kStoredOffset = 16.0;

void refuse(const std::string &text) {
    MessagePopup(kCalibTitle, (text + "\nКоэффициенты не записаны.").c_str());
}

// The nominal table and the calibration currents; the driver's own when no
// module has been opened yet (the copies are still zero then).
const double *nominalTable() {
    return nominalR[0] > 0.0 ? nominalR : ortav_nominalR;
}
double fixCurrent(int point) {
    if (IFix[point] > 0.0)
        return IFix[point];
    return point == 0 ? ORTAV_FIX_CURRENT_HI : ORTAV_FIX_CURRENT_LO;
}

// Reads the EEPROM back into a copy of the record and compares it byte for
// byte with what was written: a write the EEPROM acknowledged is not yet a
// write it kept (a stuck data line acknowledges everything).
bool checkStored(const DeviceData *rec) {
    DeviceData copy = *rec;
    std::memset(&copy.coeff, 0, sizeof copy.coeff);
    const ViStatus read = ortav_readFlash(&copy);
    const auto *written = reinterpret_cast<const std::uint8_t *>(&rec->coeff);
    const auto *stored = reinterpret_cast<const std::uint8_t *>(&copy.coeff);
    int differs = -1;
    for (std::size_t i = 0; i < sizeof rec->coeff && differs < 0; ++i)
        if (written[i] != stored[i])
            differs = static_cast<int>(i);
    if (differs < 0 && read >= 0)
        return true;
    char text[256];
    if (differs >= 0)
        std::snprintf(text, sizeof text,
                      "Коэффициенты не сохранены: прочитанное из РПЗУ расходится с записанным "
                      "с байта %d ortav_readFlash (копия)",
                      differs);
    else
        std::snprintf(text, sizeof text,
                      "Коэффициенты не сохранены: РПЗУ не прочитано после записи "
                      "ortav_readFlash (копия)");
    SetCtrlVal(mp, MP_MSG, text);
    SetCtrlAttribute(mp, MP_MSG, ATTR_TEXT_COLOR, VAL_RED);
    MessagePopup(kCalibTitle, text);
    return false;
}

} // namespace

ViStatus moduleCheck(DeviceData **rec) {
    if (mvi == 0)
        return VI_ERROR_INV_OBJECT;
    ViAttrState value = 0;
    const ViStatus s = carrik_m_get_attribute(mvi, ATTR_MODULE_DATA, &value);
    auto *r = reinterpret_cast<DeviceData *>(static_cast<std::uintptr_t>(value));
    if (s < 0 || r == nullptr || r->modelCode != ORTAV_MODEL_CODE)
        return VI_ERROR_INV_SETUP;
    *rec = r;
    return 0;
}

void DisplayFlash(DeviceData *rec) {
    if (rec == nullptr)
        return;
    for (int c = 0; c < 2; ++c) {
        SetTableColumnVals(cpPanel, CP_TABLE, c + 1, 1, ORTAV_RESISTORS, rec->coeff.R[c]);
        SetTableCellVal(cpPanel, CP_TABLE, MakePoint(c + 1, 19), rec->coeff.r0[c]);
    }
    for (int c = 0; c < 2; ++c) {
        calCurrent[c] = ortav::calib::currentAtCode(rec->fixCode[0], rec->coeff.iGain[c],
                                                    rec->coeff.iOffset[c]);
        calCurrent[2 + c] = ortav::calib::currentAtCode(rec->fixCode[1], rec->coeff.iGain[c],
                                                        rec->coeff.iOffset[c]);
    }
    for (int i = 0; i < 4; ++i)
        SetTableCellVal(cpPanel, CP_TABLE_I, MakePoint(i % 2 + 1, i / 2 + 1), calCurrent[i]);
}

void clearCoeffTables() {
    DefaultCtrl(cpPanel, CP_TABLE);
    DefaultCtrl(cpPanel, CP_TABLE_I);
}

int readFlash(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT)
        return 0;
    DeviceData *rec = nullptr;
    if (const ViStatus s = moduleCheck(&rec); s != 0)
        return s;
    if (rec->fault != 0)
        return ORTAV_ERROR_INSTR;
    SetWaitCursor(1);
    const ViStatus status = ortav_readFlash(rec);
    if (status != 0)
        error("ortav_readFlash", status);
    else
        DisplayFlash(rec);
    SetWaitCursor(0);
    return 0;
}

int defaultFlash(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT)
        return 0;
    const double *nominal = nominalTable();
    for (int c = 1; c <= 2; ++c) {
        SetTableColumnVals(cpPanel, CP_TABLE, c, 1, ORTAV_RESISTORS, nominal);
        SetTableCellVal(cpPanel, CP_TABLE_I, MakePoint(c, 1), fixCurrent(0));
        SetTableCellVal(cpPanel, CP_TABLE_I, MakePoint(c, 2), fixCurrent(1));
    }
    return 0;
}

int setFlash(DeviceData *rec) {
    // Everything is checked before anything is copied: a refused table leaves
    // the record as the driver had it.
    double R[2][ORTAV_RESISTORS];
    double r0[2];
    ortav::calib::DacLine line[2];
    char text[512];
    ortav::calib::CNumbers numbers; // the messages' numbers, as the cells show them
    for (int c = 0; c < 2; ++c) {
        std::string shown;
        for (int k = 0; k < ORTAV_RESISTORS; ++k) {
            if (!readCell(cpPanel, CP_TABLE, c + 1, k + 1, &R[c][k], &shown) || R[c][k] <= 0.0) {
                std::snprintf(text, sizeof text,
                              "Канал %d, резистор %d: «%s» — нужно положительное "
                              "сопротивление в омах.",
                              c + 1, k + 1, shown.c_str());
                refuse(text);
                return ORTAV_ERROR_COEFF;
            }
        }
        if (!readCell(cpPanel, CP_TABLE, c + 1, 19, &r0[c], &shown) || r0[c] < 0.0 ||
            r0[c] >= R[c][0]) {
            std::snprintf(text, sizeof text,
                          "Канал %d, R0: «%s» — последовательное сопротивление должно быть "
                          "не меньше 0 и меньше сопротивления резистора 1.",
                          c + 1, shown.c_str());
            refuse(text);
            return ORTAV_ERROR_COEFF;
        }
        const double i1 = calCurrent[c], i2 = calCurrent[2 + c];
        for (int p = 0; p < 2; ++p) {
            const double i = calCurrent[p * 2 + c];
            if (!std::isfinite(i) || i <= 0.0) {
                std::string cell;
                GetTableCellVal(cpPanel, CP_TABLE_I, MakePoint(c + 1, p + 1), cell);
                std::snprintf(text, sizeof text,
                              "Канал %d, ток точки %d: «%s» — нужен положительный ток в амперах.",
                              c + 1, p + 1, cell.c_str());
                refuse(text);
                return ORTAV_ERROR_COEFF;
            }
        }
        line[c] = ortav::calib::dacLine(i1, rec->fixCode[0], i2, rec->fixCode[1]);
        if (!std::isfinite(line[c].gain) || !std::isfinite(line[c].offset)) {
            std::snprintf(text, sizeof text,
                          "Канал %d: токи обеих точек равны (%g А), по ним нельзя найти "
                          "коэффициент тока.",
                          c + 1, i1);
            refuse(text);
            return ORTAV_ERROR_COEFF;
        }
        // The bounds the driver holds a stored image to: refused here, the
        // message names the cell rather than blaming the EEPROM.
        const double *nominal = nominalTable();
        for (int k = 0; k < ORTAV_RESISTORS; ++k) {
            if (std::fabs(R[c][k] - nominal[k]) <= kStoredTolerance * nominal[k])
                continue;
            std::string shown;
            readCell(cpPanel, CP_TABLE, c + 1, k + 1, &R[c][k], &shown);
            std::snprintf(text, sizeof text,
                          "Канал %d, резистор %d: «%s» — дальше 20 %% от номинала %g Ом.", c + 1,
                          k + 1, shown.c_str(), nominal[k]);
            refuse(text);
            return ORTAV_ERROR_COEFF;
        }
        if (std::fabs(line[c].gain - ORTAV_NOMINAL_GAIN) > kStoredTolerance * ORTAV_NOMINAL_GAIN ||
            std::fabs(line[c].offset) > kStoredOffset) {
            std::snprintf(text, sizeof text,
                          "Канал %d, токи точек %g А и %g А: коэффициент %g и смещение %g кода "
                          "вне допуска (20 %% от %g, смещение до %g).",
                          c + 1, i1, i2, line[c].gain, line[c].offset, ORTAV_NOMINAL_GAIN,
                          kStoredOffset);
            refuse(text);
            return ORTAV_ERROR_COEFF;
        }
    }
    for (int c = 0; c < 2; ++c) {
        for (int k = 0; k < ORTAV_RESISTORS; ++k)
            rec->coeff.R[c][k] = R[c][k];
        rec->coeff.r0[c] = r0[c];
        rec->coeff.iGain[c] = line[c].gain;
        rec->coeff.iOffset[c] = line[c].offset;
    }
    return 0;
}

int writeFlash(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT)
        return 0;
    DeviceData *rec = nullptr;
    if (const ViStatus s = moduleCheck(&rec); s != 0)
        return s;
    SetWaitCursor(1);
    for (int i = 0; i < 4; ++i) {
        double v = 0.0;
        calCurrent[i] = readCell(cpPanel, CP_TABLE_I, i % 2 + 1, i / 2 + 1, &v) ? v : NAN;
    }
    // A refused table is the module's measurements out of bounds, not the
    // EEPROM's fault: setFlash's message names the cell, and nothing is written.
    ViStatus status = setFlash(rec);
    bool stored = false;
    if (status == 0) {
        status = ortav_writeFlash(rec);
        if (status != 0)
            error("ortav_writeFlash(device_data)", status);
        stored = status >= 0 && checkStored(rec);
    }
    ortav::calib::calibrationEvent(
        {ortav::calib::CalibrationEvent::Stored, stored, static_cast<long>(status)});
    SetWaitCursor(0);
    return 0;
}
