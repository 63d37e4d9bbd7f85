#include "calibration_progress.h"

#include "observers.h"

namespace ortav::calib {

namespace {
Observers<CalibrationValue> &observers() {
    static Observers<CalibrationValue> o;
    return o;
}
bool g_interrupted = false;
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

namespace {
Observers<CalibrationEvent> &eventObservers() {
    static Observers<CalibrationEvent> o;
    return o;
}
} // namespace

int addCalibrationEventObserver(CalibrationEventObserver observer) {
    return eventObservers().add(std::move(observer));
}

void removeCalibrationEventObserver(int id) {
    eventObservers().remove(id);
}

void calibrationEvent(const CalibrationEvent &e) {
    eventObservers().notify(e);
}

} // namespace ortav::calib

namespace ortav::calib {

void calibrationInterrupted(bool interrupted) {
    g_interrupted = interrupted;
}

bool lastCalibrationInterrupted() {
    return g_interrupted;
}

} // namespace ortav::calib
