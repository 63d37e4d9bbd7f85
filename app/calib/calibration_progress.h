// Each value the automatic calibration puts into its tables, as it does so:
// for whoever follows the run (the progress of a headless calibration).
#pragma once

#include <functional>

namespace ortav::calib {

struct CalibrationValue {
    enum Kind { Resistor, Series, Current };
    int chan = 1;
    Kind kind = Resistor;
    int index = 0;                // resistor 1..18, or current point 1..2
    double value = 0.0;           // ohms, or amperes
    bool beyondTolerance = false; // a resistor too far from nominal (its cell is red)
};

using CalibrationObserver = std::function<void(const CalibrationValue &)>;

// Returns an id for removeCalibrationObserver.
int addCalibrationObserver(CalibrationObserver observer);
void removeCalibrationObserver(int id);

// Called by Calibrate as each cell is filled.
void calibrationValue(const CalibrationValue &v);

// Whether the last automatic calibration was stopped on request (run_stop.h)
// before its end: its tables are then only partly measured.
void calibrationInterrupted(bool interrupted);
bool lastCalibrationInterrupted();

// Whole calibrations and the stores of their tables, for whoever records them
// (the results database).
struct CalibrationEvent {
    enum Kind { Started, Ended, Stored };
    Kind kind = Started;
    // Stored: the module took the tables (the driver's write returned no error);
    // status: the failing status when it did not.
    bool stored = false;
    long status = 0;
};
using CalibrationEventObserver = std::function<void(const CalibrationEvent &)>;
int addCalibrationEventObserver(CalibrationEventObserver observer);
void removeCalibrationEventObserver(int id);
void calibrationEvent(const CalibrationEvent &e);

} // namespace ortav::calib
