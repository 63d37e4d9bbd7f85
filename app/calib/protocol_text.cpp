#include "protocol_text.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace ortav::calib {

double percentOf(double value, double set) {
    return set != 0.0 ? std::fabs(100.0 * value / set) : 0.0;
}

std::string formatProtocol(const char *format, ...) {
    char buffer[kProtocolBufferSize];
    CNumbers numbers;
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n < 0)
        return {};
    return buffer;
}

std::string resistanceLine(int chan, double set, double meas, double diff, double permitted,
                           bool failed) {
    return formatProtocol(kLineR, chan, set, meas, diff, percentOf(diff, set),
                          percentOf(permitted, set), failed ? kVerdictFailed : kVerdictPassed);
}

std::string currentLine(int chan, double set, double meas, double diff, bool failed) {
    return formatProtocol(kLineI, chan, set, meas, diff, percentOf(diff, set),
                          failed ? kVerdictFailed : kVerdictPassed);
}

std::string dateText(const std::tm &t) {
    char b[32];
    std::snprintf(b, sizeof b, "%02d-%02d-%04d", t.tm_mon + 1, t.tm_mday, t.tm_year + 1900);
    return b;
}

std::string timeText(const std::tm &t) {
    char b[32];
    std::snprintf(b, sizeof b, "%02d:%02d:%02d", t.tm_hour, t.tm_min, t.tm_sec);
    return b;
}

} // namespace ortav::calib
