#include "results_json.h"

#include "protocol_text.h"
#include "result_files.h"
#include "results_csv.h"
#include "time_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace ortav::calib {

namespace {

// As printf's "%.17g" in the C locale, whatever the program's locale (the
// standard defines to_chars so), without switching locales for every number.
std::string number(double v) {
    char text[40];
    const auto end = std::to_chars(text, text + sizeof text, v, std::chars_format::general, 17);
    return std::string(text, end.ptr);
}

std::string hex(const std::vector<std::uint8_t> &bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    s.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

struct Counts {
    int judged = 0, passed = 0, failed = 0;
};

Counts count(const std::vector<JudgedPoint> &points, int mode, int chan) {
    Counts c;
    for (const JudgedPoint &p : points) {
        if ((mode != 0 && p.mode != mode) || (chan != 0 && p.chan != chan))
            continue;
        ++c.judged;
        ++(p.failed ? c.failed : c.passed);
    }
    return c;
}

std::string countsJson(const Counts &c) {
    return "{\"judged\": " + std::to_string(c.judged) +
           ", \"passed\": " + std::to_string(c.passed) +
           ", \"failed\": " + std::to_string(c.failed) + "}";
}

std::string numberOrNull(bool known, double v) {
    return known && std::isfinite(v) ? number(v) : "null";
}

std::string pointJson(const JudgedPoint &p) {
    using namespace ortav::uncertainty;
    const Budget &u = p.uncertainty;
    std::string j = "{\"channel\": " + std::to_string(p.chan) +
                    ", \"mode\": " + jsonString(p.mode == 1 ? "resistance" : "current") +
                    ", \"unit\": " + jsonString(p.mode == 1 ? "Ohm" : "mA") +
                    ", \"set\": " + number(p.set) + ", \"measured\": " + number(p.measured) +
                    ", \"deviation\": " + number(p.deviation) +
                    ", \"permitted\": " + number(p.permitted) +
                    ", \"simple_verdict\": " + jsonString(p.failed ? "fail" : "pass");
    j += ", \"standard_uncertainty\": " + numberOrNull(u.known, u.standard);
    j += ", \"expanded_uncertainty\": " + numberOrNull(u.known, u.expanded);
    j += ", \"coverage_factor\": " + number(kCoverage);
    j += ", \"tur\": " + numberOrNull(u.known, p.tur);
    j += ", \"tur_low\": " + std::string(u.known && p.tur < kMinimumTur ? "true" : "false");
    if (!u.known)
        j += ", \"uncertainty_unknown\": " + jsonString(u.unknownWhy);
    j += ", \"guarded_verdict\": " + jsonString(verdictName(p.guarded)) + "}";
    return j;
}

std::string dueJson(const CalibrationDue &d) {
    const bool dated = d.state == "overdue" || d.state == "due" || d.state == "not_due";
    std::string j = "{\"state\": " + jsonString(d.state);
    j += ", \"due\": " + (dated ? jsonString(ortav::text::utcText(d.due)) : std::string("null"));
    j += ", \"last_calibration\": " +
         (dated ? jsonString(ortav::text::utcText(d.lastCalibration)) : std::string("null"));
    j += ", \"interval_months\": " + std::to_string(d.intervalMonths);
    if (!d.why.empty())
        j += ", \"why\": " + jsonString(d.why);
    return j + "}";
}

} // namespace

std::string jsonString(const std::string &text) {
    std::string s = "\"";
    for (unsigned char ch : text) {
        switch (ch) {
        case '"':
            s += "\\\"";
            break;
        case '\\':
            s += "\\\\";
            break;
        case '\n':
            s += "\\n";
            break;
        case '\r':
            s += "\\r";
            break;
        case '\t':
            s += "\\t";
            break;
        default:
            if (ch < 0x20) {
                char esc[8];
                std::snprintf(esc, sizeof esc, "\\u%04x", ch);
                s += esc;
            } else {
                s += static_cast<char>(ch);
            }
        }
    }
    return s + "\"";
}

std::string verdictOf(const RunSummary &s) {
    if (s.running)
        return "running";
    if (s.interrupted)
        return "interrupted";
    const Counts all = count(s.points, 0, 0);
    if (!s.completed || all.judged < s.expected)
        return "incomplete";
    return all.failed > 0 ? "failed" : "passed";
}

std::string verdictByRule(const RunSummary &s) {
    const std::string parts = verdictOf(s);
    if (s.decisionRule != "guarded" || (parts != "passed" && parts != "failed"))
        return parts; // incomplete, interrupted, running: nothing to judge by a rule
    bool failed = false, conditional = false;
    for (const JudgedPoint &p : s.points) {
        failed = failed || p.guarded == ortav::uncertainty::Verdict::Fail;
        conditional = conditional || p.guarded == ortav::uncertainty::Verdict::Conditional;
    }
    return failed ? "failed" : conditional ? "conditional" : "passed";
}

std::string summaryJson(const RunSummary &s) {
    const Counts all = count(s.points, 0, 0);
    std::string j = "{\n";
    j += "  \"command\": " + jsonString(s.command) + ",\n";
    j += "  \"module\": {\n";
    j += "    \"resource\": " + jsonString(s.resource) + ",\n";
    j += "    \"position\": " + std::to_string(s.position) + ",\n";
    j += "    \"hardware_version\": " + std::to_string(s.hardVersion) + ",\n";
    j += "    \"hardware_version_reported\": " + std::to_string(s.hardVersionReported) + ",\n";
    j += "    \"coefficient_image\": " + jsonString(hex(s.coeffImage)) + "\n";
    j += "  },\n";
    j += "  \"multimeter\": {\"kind\": " + jsonString(s.multimeterKind) +
         ", \"resource\": " + jsonString(s.multimeterResource) + "},\n";
    j += "  \"ambient_temperature\": " + number(s.ambientTemp) + ",\n";
    j += "  \"simulated\": " + std::string(s.simulated ? "true" : "false") + ",\n";
    j += "  \"bench\": " + jsonString(s.benchName) + ",\n";
    j += "  \"math_integrity\": {\"file\": " + jsonString(s.mathFile) +
         ", \"result\": " + jsonString(s.mathIntegrity) + "},\n";
    j += "  \"protocol\": " + jsonString(s.protocol) + ",\n";
    j += "  \"csv\": " + jsonString(s.csv) + ",\n";
    j += "  \"started\": " + jsonString(isoTime(s.started)) + ",\n";
    j += "  \"finished\": " + jsonString(isoTime(s.finished)) + ",\n";
    j += "  \"points_expected\": " + std::to_string(s.expected) + ",\n";
    j += "  \"counts\": " + countsJson(all) + ",\n";
    j += "  \"by_pass\": [\n";
    bool first = true;
    for (int mode : {1, 2})
        for (int chan : {1, 2}) {
            j += first ? "" : ",\n";
            first = false;
            j += "    {\"channel\": " + std::to_string(chan) +
                 ", \"mode\": " + jsonString(mode == 1 ? "resistance" : "current") +
                 ", \"counts\": " + countsJson(count(s.points, mode, chan)) + "}";
        }
    j += "\n  ],\n";
    j += "  \"completed\": " + std::string(s.completed ? "true" : "false") + ",\n";
    j += "  \"skipped\": [";
    for (std::size_t i = 0; i < s.skipped.size(); ++i) {
        const SkippedPoint &p = s.skipped[i];
        j += std::string(i == 0 ? "\n" : ",\n") + "    {\"channel\": " + std::to_string(p.chan) +
             ", \"mode\": " + jsonString(p.mode == 1 ? "resistance" : "current") +
             ", \"set\": " + number(p.set) + ", \"reason\": " + jsonString(p.reason) + "}";
    }
    j += s.skipped.empty() ? "],\n" : "\n  ],\n";
    j += "  \"not_recorded\": " + jsonString(s.notRecorded) + ",\n";
    j += "  \"interrupted\": " + std::string(s.interrupted ? "true" : "false") + ",\n";
    j += "  \"error\": " + jsonString(s.error) + ",\n";
    j += "  \"certificate\": " + jsonString(s.certificate) + ",\n";
    j += "  \"operator\": " + jsonString(s.operatorName) + ",\n";
    j += "  \"station\": " + jsonString(s.station) + ",\n";
    j += "  \"calibration_due\": " + dueJson(s.calibrationDue) + ",\n";
    j += "  \"uncertainty\": {\"decision_rule\": " + jsonString(s.decisionRule) +
         ", \"meter_period\": " + jsonString(s.meterPeriod) +
         ", \"meter\": " + jsonString(s.meterName) + ", \"source\": " + jsonString(s.meterSource) +
         ", \"file_error\": " + jsonString(s.meterSpecsError) + "},\n";
    j += "  \"points\": [";
    for (std::size_t i = 0; i < s.points.size(); ++i)
        j += std::string(i == 0 ? "\n" : ",\n") + "    " + pointJson(s.points[i]);
    j += s.points.empty() ? "],\n" : "\n  ],\n";
    j += "  \"verdict_by_rule\": " + jsonString(verdictByRule(s)) + ",\n";
    j += "  \"verdict\": " + jsonString(verdictOf(s)) + "\n";
    j += "}\n";
    return j;
}

bool writeSummaryJson(const std::string &path, const RunSummary &s, int *error) {
    int why = 0;
    if (replaceWhole(path, summaryJson(s), &why))
        return true;
    // An earlier summary must not stand for this run: gone is better than stale.
    if (why != kNotRegularFile)
        std::remove(path.c_str());
    if (error != nullptr)
        *error = why;
    return false;
}

} // namespace ortav::calib
