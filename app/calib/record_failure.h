// A result that could not be recorded. Every writer of results (protocol lines,
// CSV rows, the JSON summary, charts) reports its failures here; the first one
// since the last clear is told to the operator at once (red status line and a
// popup naming the file and the system's reason), and the automatic
// verification stops at its next point: no point is judged that could not be
// recorded.
#pragma once

#include <string>

namespace ortav::calib {

struct RecordFailure {
    std::string file;
    std::string reason;
};

// error: an errno, or kNotRegularFile (result_files.h).
void resultNotRecorded(const std::string &file, int error);
void resultNotRecorded(const std::string &file, const std::string &reason);

// Whether a result was lost since the last clear, and the first one.
bool resultsLost();
const RecordFailure &firstRecordFailure();
// "file: reason" of the first failure; empty when none.
std::string recordFailureText();

// At each opening of the protocol and at the start of each automatic run.
void clearRecordFailure();

} // namespace ortav::calib
