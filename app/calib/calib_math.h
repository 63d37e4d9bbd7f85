// The arithmetic of calibration: the series resistance of a channel from a
// resistor pair, and the current DAC line through the two calibration points.
#pragma once

namespace ortav::calib {

// Series resistance that makes the pair (R1, R2), each measured through the
// channel, read M when both are connected: the search starts at 0 and steps
// 0.001 ohm while the deviation does not grow, so it is never below 0.
double seriesEstimate(double measured, double r1, double r2);

inline constexpr double kSeriesStep = 0.001;
inline constexpr double kSeriesLimit = 1000.0;

struct DacLine {
    double gain;   // codes per ampere
    double offset; // codes
};

// The straight line through (i1, code1) and (i2, code2). Equal currents give a
// non-finite gain; callers check the result before using it.
DacLine dacLine(double i1, unsigned code1, double i2, unsigned code2);

// The current a DAC code gives on that line.
double currentAtCode(unsigned code, double gain, double offset);

// Resistance of two resistors in parallel.
double parallel(double a, double b);

} // namespace ortav::calib
