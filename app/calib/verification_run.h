// The automatic verification as one run: what it ran on, its judged points and
// how it ended. When it ends, its JSON summary is written beside the protocol
// (the CSV rows went there point by point).
#pragma once

#include "results_json.h"

#include <functional>
#include <string>

namespace ortav::calib {

// Called by the automatic verification as it starts and as it ends. completed:
// it reached its closing verdict. The end is taken once; later calls do nothing.
// As it starts, the summary beside the protocol is replaced by one saying the
// run is going on, so an earlier run's verdict never stands beside a newer
// protocol.
void verificationRunStarted();
void verificationRunEnded(bool completed);
// The run was stopped on request (runStopRequested): its end, as "interrupted".
void verificationRunInterrupted();
// A point the run set but could not judge.
void verificationPointSkipped(const SkippedPoint &p);

// Whoever follows whole runs (the results database): told as a run has
// started (ended = false) and once it has ended, its summary complete.
using RunObserver = std::function<void(const RunSummary &run, bool ended)>;
int addRunObserver(RunObserver observer);
void removeRunObserver(int id);

// The last run (or the one going on).
const RunSummary &lastVerificationRun();

// What a run is identified by: the carrier's VISA resource and the module's
// position, and the reference multimeter in use (kind as the bench file names
// it: hpe1412, hp3458a, mervd, sulvat, tarnel; empty: none open).
std::string moduleResource();
int modulePosition();
struct MultimeterInUse {
    std::string kind, resource;
};
MultimeterInUse multimeterInUse();

} // namespace ortav::calib
