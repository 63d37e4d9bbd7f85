#include "results_csv.h"

#include "disk_sync.h"
#include "protocol_text.h"

#include <cstdio>
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

std::string csvRow(const JudgedPoint &p) {
    CNumbers numbers;
    char text[256];
    std::snprintf(text, sizeof text, "%s,%d,%s,%s,%.17g,%.17g,%.17g,%.17g,%s\n",
                  isoTime(p.time).c_str(), p.chan, p.mode == 1 ? "resistance" : "current",
                  p.mode == 1 ? "Ohm" : "mA", p.set, p.measured, p.deviation, p.permitted,
                  p.failed ? "fail" : "pass");
    return text;
}

bool appendCsvRow(const std::string &path, const JudgedPoint &p) {
    std::FILE *f = std::fopen(path.c_str(), "ab");
    if (f == nullptr)
        return false;
    bool ok = true;
    std::fseek(f, 0, SEEK_END);
    if (std::ftell(f) == 0)
        ok = std::fputs(kCsvHeader, f) >= 0;
    ok = std::fputs(csvRow(p).c_str(), f) >= 0 && ok;
    ok = std::fflush(f) == 0 && ok;
    // Like the protocol: a judged point reaches the disk during the next settle wait.
    ok = syncInBackground(fileno(f)) && ok;
    return std::fclose(f) == 0 && ok;
}

} // namespace ortav::calib
