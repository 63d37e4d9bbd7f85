#include "results_csv.h"

#include "disk_sync.h"
#include "protocol_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <strings.h>

namespace ortav::calib {

std::string besideProtocol(const std::string &protocolPath, const char *extension) {
    std::string stem = protocolPath;
    if (stem.size() > 4 && strcasecmp(stem.c_str() + stem.size() - 4, ".log") == 0)
        stem.resize(stem.size() - 4);
    return stem + extension;
}

std::string isoTime(std::time_t t) {
    std::tm local{};
    localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

namespace {

// The shortest text that reads back as the same double (0.7, not
// 0.69999999999999996), with a point whatever the locale.
std::string shortest(double v) {
    char text[32];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, v);
    return ec == std::errc() ? std::string(text, end) : std::string("nan");
}

// decision_rule,expanded_uncertainty,tur,tur_low,guarded_verdict
std::string uncertaintyColumns(const JudgedPoint &p) {
    using namespace ortav::uncertainty;
    std::string s = ruleName(p.rule);
    if (p.uncertainty.known) {
        s += "," + shortest(p.uncertainty.expanded);
        s += std::isinf(p.tur) ? std::string(",inf") : "," + shortest(p.tur);
        s += p.tur < kMinimumTur ? ",yes" : ",no";
    } else {
        s += ",unknown,unknown,unknown";
    }
    return s + "," + verdictName(p.guarded);
}

} // namespace

std::string csvRow(const JudgedPoint &p) {
    char text[256];
    std::snprintf(text, sizeof text, "%s,%d,%s,%s,%s,%s,%s,%s,%s,", isoTime(p.time).c_str(),
                  p.chan, p.mode == 1 ? "resistance" : "current", p.mode == 1 ? "Ohm" : "mA",
                  shortest(p.set).c_str(), shortest(p.measured).c_str(),
                  shortest(p.deviation).c_str(), shortest(p.permitted).c_str(),
                  p.failed ? "fail" : "pass");
    return text + uncertaintyColumns(p) + "\n";
}

bool appendCsvRow(const std::string &path, const JudgedPoint &p) {
    std::FILE *f = std::fopen(path.c_str(), "ab");
    if (f == nullptr)
        return false;
    bool ok = true;
    std::fseek(f, 0, SEEK_END);
    if (std::ftell(f) == 0) {
        ok = std::fputs(kCsvHeader, f) >= 0;
    } else {
        // An earlier version's columns: its readers would take our rows for theirs.
        std::FILE *r = std::fopen(path.c_str(), "rb");
        char first[512] = "";
        const bool same = r != nullptr && std::fgets(first, sizeof first, r) != nullptr &&
                          std::strcmp(first, kCsvHeader) == 0;
        if (r != nullptr)
            std::fclose(r);
        if (!same) {
            std::fclose(f);
            return false;
        }
    }
    ok = std::fputs(csvRow(p).c_str(), f) >= 0 && ok;
    ok = std::fflush(f) == 0 && ok;
    // Like the protocol: a judged point reaches the disk during the next settle wait.
    ok = syncInBackground(fileno(f)) && ok;
    return std::fclose(f) == 0 && ok;
}

} // namespace ortav::calib
