#include "calibration_progress.h"

#include <map>

namespace ortav::calib {

namespace {
std::map<int, CalibrationObserver> &observers() {
    static std::map<int, CalibrationObserver> o;
    return o;
}
int g_nextId = 1;
} // namespace

int addCalibrationObserver(CalibrationObserver observer) {
    const int id = g_nextId++;
    observers()[id] = std::move(observer);
    return id;
}

void removeCalibrationObserver(int id) {
    observers().erase(id);
}

void calibrationValue(const CalibrationValue &v) {
    const auto copy = observers(); // an observer may remove itself
    for (const auto &[id, observer] : copy)
        observer(v);
}

} // namespace ortav::calib
