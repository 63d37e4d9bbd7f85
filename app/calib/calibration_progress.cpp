#include "calibration_progress.h"

#include "observers.h"

namespace ortav::calib {

namespace {
Observers<CalibrationValue> &observers() {
    static Observers<CalibrationValue> o;
    return o;
}
} // namespace

int addCalibrationObserver(CalibrationObserver observer) {
    return observers().add(std::move(observer));
}

void removeCalibrationObserver(int id) {
    observers().remove(id);
}

void calibrationValue(const CalibrationValue &v) {
    observers().notify(v);
}

} // namespace ortav::calib
