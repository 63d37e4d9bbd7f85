// One judged verification point as programs read it: the CSV rows and the JSON
// summary written beside the protocol, the verification chart and the progress
// of a headless run all take it from the one place a point is judged.
#pragma once

#include "decision_rule.h"
#include "point_uncertainty.h"

#include <ctime>
#include <string>

namespace ortav::calib {

struct JudgedPoint {
    std::time_t time = 0; // when it was judged
    int chan = 1;         // 1 or 2
    int mode = 1;         // 1 resistance (ohms), 2 current (milliamperes)
    double set = 0.0;
    double measured = 0.0;
    double deviation = 0.0; // measured - set
    double permitted = 0.0; // the norm the deviation was judged against
    bool failed = false;    // the protocol's verdict
    // What the reference reading is worth, in the unit of measured (a current's
    // from the voltage across its shunt); not known for a typed value or a
    // meter whose accuracy is not stated.
    ortav::uncertainty::Budget uncertainty;
    double tur = 0.0; // permitted / U, when U is known (infinite for U = 0)
    ortav::uncertainty::Rule rule = ortav::uncertainty::Rule::Simple; // the run's
    ortav::uncertainty::Verdict guarded = ortav::uncertainty::Verdict::Conditional;
};

// Out of norm under the point's decision rule: the protocol's verdict under
// `simple`; anything but a guarded pass under `guarded`.
inline bool outOfNormByRule(const JudgedPoint &p) {
    return p.rule == ortav::uncertainty::Rule::Guarded
               ? p.guarded != ortav::uncertainty::Verdict::Pass
               : p.failed;
}

} // namespace ortav::calib
