// Times as the results files and the results database write them:
// "2026-12-10T09:53:10Z", so that one can be matched against the other.
#ifndef ORTAV_UTC_TEXT_H
#define ORTAV_UTC_TEXT_H

#include <ctime>
#include <string>

namespace ortav::text {

inline std::string utcText(std::time_t t) {
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return text;
}

} // namespace ortav::text
#endif
