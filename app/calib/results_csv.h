// The results table beside the protocol: UTF-8 CSV, one row per judged point,
// appended like the protocol itself (the header only when the file is new).
// The last column names the simulated bench the point was judged on; it is
// empty with a real VISA library.
#pragma once

#include "judged_point.h"

#include <string>

namespace ortav::calib {

inline constexpr const char *kCsvHeader =
    "time,channel,mode,unit,set,measured,deviation,permitted_deviation,verdict,"
    "decision_rule,expanded_uncertainty,tur,tur_low,guarded_verdict,bench\n";

// The name of a file beside the protocol: "ortav.log" gives "ortav.csv" and
// "ortav.json"; a protocol without the ".log" ending keeps its name whole
// ("run.txt" gives "run.txt.csv").
std::string besideProtocol(const std::string &protocolPath, const char *extension);

// Local time as "YYYY-MM-DDTHH:MM:SS".
std::string isoTime(std::time_t t);

// One row, with its line end. Numbers are written with a decimal point and
// enough digits to give back the double that was judged. An uncertainty that
// is not known is "unknown" (and so its TUR); a TUR of a zero U is "inf". The
// bench's name is quoted when it holds a comma, a quote or a line break.
std::string csvRow(const JudgedPoint &p, const std::string &bench = "");

// Appends the row to the file (the header first when the file is empty or
// new), whole or not at all; only a regular file (result_files.h). False when
// the file cannot be written, with *error saying why.
bool appendCsvRow(const std::string &path, const JudgedPoint &p, const std::string &bench = "",
                  int *error = nullptr);

// The CSV a protocol's rows go to: the one beside it ("ortav.csv"), unless
// that file was begun with other columns (by another version of the program):
// then the first of "ortav-2.csv", "ortav-3.csv", ... that is new or has the
// current columns, so that no file ever holds rows of two shapes.
std::string csvBesideProtocol(const std::string &protocolPath);

} // namespace ortav::calib
