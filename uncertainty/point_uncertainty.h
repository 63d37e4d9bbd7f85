// What one reference reading is worth: its standard uncertainty from the
// meter's stated accuracy (rectangular), its resolution (rectangular over one
// step) and, with more than one reading, their repeatability; the expanded
// uncertainty U (k = 2) and the test uncertainty ratio against a norm.
#pragma once

#include "meter_accuracy.h"

#include <string>

namespace ortav::uncertainty {

constexpr double kCoverage = 2.0;
// Below this the reference is too coarse for the norm it judges against.
constexpr double kMinimumTur = 4.0;

struct Reading {
    Function function = Function::FourWireResistance;
    double value = 0.0;          // the reading (mean of the readings), in V, Ω or A
    double requestedRange = 0.0; // what the meter was asked for: the range used is the next
    Period period = Period::Year1;
    double ambientTemp = 20.0;  // °C
    int count = 1;              // readings taken
    double spread = 0.0;        // their standard deviation (count > 1)
    double relativeNoise = 0.0; // a simulated meter's bench noise
};

struct Budget {
    bool known = false;
    std::string unknownWhy;     // when not known: why, for the operator
    double range = 0.0;         // range used
    double accuracyLimit = 0.0; // ± half-width from the stated accuracy
    double uAccuracy = 0.0, uResolution = 0.0, uRepeatability = 0.0;
    double uShunt = 0.0;   // of a current: from how well its shunt's value is known
    double standard = 0.0; // combined standard uncertainty
    double expanded = 0.0; // U = kCoverage · standard
};

// spec nullptr: the meter has no entry.
Budget evaluate(const MeterSpec *spec, const Reading &r);

// The budget of a quantity derived from the reading by a constant factor.
Budget scaled(Budget b, double factor);

// The budget of a current in milliamperes worked out as 1000 · voltage / shunt
// (volts, ohms): the voltage's budget carried over, and the shunt's own
// uncertainty from spec. Unknown when the voltage's is, when spec is nullptr or
// states no tolerance, or when there is no usable value for the shunt.
Budget currentThroughShunt(const Budget &volts, double voltage, double shunt,
                           const ShuntSpec *spec);

// TUR = permitted / U; infinite when U is 0.
double testUncertaintyRatio(double permitted, double expanded);

} // namespace ortav::uncertainty
