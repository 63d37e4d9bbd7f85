// The uncertainty of the verification's reference readings on this bench: the
// meters' accuracy file, the decision rule and calibration period of the runs,
// and the assessment of each judged point with the multimeter in use.
#pragma once

#include "judged_point.h"
#include "meter_accuracy.h"

#include <string>

namespace ortav::calib {

struct UncertaintySettings {
    ortav::uncertainty::Rule rule = ortav::uncertainty::Rule::Simple;
    ortav::uncertainty::Period period = ortav::uncertainty::Period::Year1;
};
// For the runs to come (batch options; the panel keeps the defaults).
UncertaintySettings &uncertaintySettings();

// The meters' accuracy file: ORTAV_METERS if set, else share/p_ortav/meters.yaml
// beside the program's bin/ folder.
std::string meterSpecsPath();
// Read once per path. error: why the file could not be used (then empty specs).
const ortav::uncertainty::MeterSpecs &meterSpecs(std::string *error = nullptr);

// The entry of the multimeter in use (simulated on a simulated bench); nullptr: none.
const ortav::uncertainty::MeterSpec *meterSpecInUse();

// Fills the point's uncertainty, TUR, rule and guarded verdict. fromMeter: the
// value is the multimeter's reading (else typed by the operator); reading: in
// the meter's unit (ohms, or the volts across the shunt of a current point).
void assessPoint(JudgedPoint &p, bool fromMeter, double reading, double shunt);

} // namespace ortav::calib
