// Where every judged verification point goes besides the results table and the
// protocol: the CSV beside the protocol, the verification chart, and whoever
// else listens (the progress of a headless run).
#pragma once

#include "judged_point.h"

#include <functional>

namespace ortav::calib {

using JudgedObserver = std::function<void(const JudgedPoint &)>;

// Returns an id for removeJudgedObserver.
int addJudgedObserver(JudgedObserver observer);
void removeJudgedObserver(int id);

// Called by setupPresult once the point is in the table and the protocol.
void pointJudged(const JudgedPoint &p);

} // namespace ortav::calib
