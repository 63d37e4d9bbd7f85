// The JSON summary of a verification run, written beside the protocol: what was
// verified with what, under which conditions, and how it ended.
#pragma once

#include "judged_point.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ortav::calib {

// A point the run set but could not judge: no reading came.
struct SkippedPoint {
    int chan = 1;
    int mode = 1; // 1 resistance (ohms), 2 current (milliamperes)
    double set = 0.0;
    std::string reason; // the multimeter's own text
};

// When the module's last stored calibration falls due, as the results database
// has it when the run starts.
struct CalibrationDue {
    // "overdue" (at or past the due moment), "due" (within 30 days), "not_due",
    // "none" (no stored calibration on record), "unknown" (no database: why says why).
    std::string state = "unknown";
    std::time_t due = 0, lastCalibration = 0; // "overdue", "due", "not_due"
    int intervalMonths = 0;
    std::string why;
};

struct RunSummary {
    std::string command = "verify";
    // The module.
    std::string resource; // the carrier's VISA resource
    int position = 0;     // mezzanine position 1..4
    int hardVersion = 0;
    std::vector<std::uint8_t> coeffImage; // the calibration image used, as stored
    // The reference multimeter.
    std::string multimeterKind; // hpe1412, hp3458a, mervd, sulvat, tarnel; empty: none
    std::string multimeterResource;
    double ambientTemp = 20.0;
    bool simulated = false;
    std::string benchName;
    std::string mathFile;      // the ortav_math file the program runs
    std::string mathIntegrity; // its check: intact, modified or unchecked
    std::string protocol;      // the files of the run
    std::string csv;
    std::time_t started = 0;
    std::time_t finished = 0;
    int expected = 0; // points the run was to judge
    std::vector<JudgedPoint> points;
    bool completed = false;            // ran to its closing verdict
    std::string error;                 // why it did not, when known
    bool running = false;              // written as the run starts: no verdict yet
    bool interrupted = false;          // stopped on request (a signal, the stop button)
    std::vector<SkippedPoint> skipped; // in the order they were set
    int hardVersionReported = 0;       // what the module says; hardVersion is the one used
    std::string notRecorded; // "file: reason" of the first result that could not be recorded
    // Beside the protocol's verdicts: the decision rule, the meter's accuracy
    // used for the points' uncertainty, and the certificate of the run.
    std::string decisionRule = "simple"; // simple, guarded
    std::string meterPeriod = "1y";      // 24h, 90d, 1y
    std::string meterName, meterSource;  // the accuracy entry; empty: none
    std::string meterSpecsError;         // the accuracy file could not be used
    std::string certificate;             // number, unique per run
    std::string operatorName, station;
    CalibrationDue calibrationDue;
};

// "passed", "failed" (a point out of norm), "incomplete" (ended early or
// points skipped: nothing can be said of the module as a whole), "interrupted"
// (stopped on request) or "running" (not ended yet).
std::string verdictOf(const RunSummary &s);
// The same under the run's decision rule: under "guarded" a point that is not
// a guarded pass is out of norm, and the verdict is "conditional" when no
// point failed outright but some were neither.
std::string verdictByRule(const RunSummary &s);

std::string summaryJson(const RunSummary &s);

// Writes the summary, replacing an earlier one whole (written beside and renamed
// over it, so a reader never sees half a file). Only over a regular file
// (result_files.h). False on failure, with *error saying why; the earlier
// summary is then removed, so that it never stands for a newer run.
bool writeSummaryJson(const std::string &path, const RunSummary &s, int *error = nullptr);

// JSON string literal of UTF-8 text, quotes included.
std::string jsonString(const std::string &text);

} // namespace ortav::calib
