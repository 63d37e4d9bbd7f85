// One judged verification point as programs read it: the CSV rows and the JSON
// summary written beside the protocol, the verification chart and the progress
// of a headless run all take it from the one place a point is judged.
#pragma once

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
    bool failed = false;
};

} // namespace ortav::calib
