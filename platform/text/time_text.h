// Times as the program writes them: UTC as the results files and the results
// database keep them ("2026-12-10T09:53:10Z", so one can be matched against
// the other), and local times in the form each text asks for.
#ifndef ORTAV_TIME_TEXT_H
#define ORTAV_TIME_TEXT_H

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

// strftime's format, at most 63 characters of result.
inline std::string localText(std::time_t t, const char *format) {
    std::tm tm{};
    localtime_r(&t, &tm);
    char text[64];
    if (std::strftime(text, sizeof text, format, &tm) == 0)
        return {};
    return text;
}

} // namespace ortav::text
#endif
