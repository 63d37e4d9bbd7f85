// What the history of a module says: when it is due for calibration, and how
// its resistors have drifted across the calibrations stored in it.
#pragma once

#include "database.h"

#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace ortav::results {

inline constexpr int kDefaultCalibrationMonths = 12;
inline constexpr int kDueWithinDays = 30;

struct Due {
    ModuleKey module;
    std::string label; // the asset, or "resource position N"
    std::time_t lastCalibration = 0;
    std::time_t due = 0;  // the last stored calibration plus the interval
    bool overdue = false; // due at or before now
    bool soon = false;    // due within kDueWithinDays (or overdue)
};

// The date a calibration stored at `stored` falls due, `months` later (the
// last day of a shorter month when the day is not in it), at the same time of day.
std::time_t dueDate(std::time_t stored, int months);

// The module's due date by its last stored calibration; none when it has none.
std::optional<Due> calibrationDue(Database &db, const ModuleKey &key, int months, std::time_t now);

// Every module whose calibration is due within `withinDays` of now (or overdue),
// soonest first.
std::vector<Due> dueModules(Database &db, int months, int withinDays, std::time_t now);

// One stored calibration: each resistor's value relative to its nominal value,
// (R - nominal) / nominal, per channel.
struct DriftPoint {
    std::time_t time = 0;
    std::string runId;
    double relative[2][18] = {};
};
std::vector<DriftPoint> drift(Database &db, const ModuleKey &key);

// The resistor values of a 344-byte coefficient image in hexadecimal: false
// when it is not one.
bool imageResistors(const std::string &hex, double r[2][18]);

// The nominal value of resistor k (1..18).
double nominalResistor(int k);

} // namespace ortav::results
