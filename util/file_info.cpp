// Version, modification date and name of a file, for display.
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sys/stat.h>

#include "file_image.h"
#include "kelmor_crc32.h"

int GetFInfo(const char *path, char *version, char *date, char *time, char *name) {
    for (char *out : {version, date, time}) {
        if (out != nullptr) {
            out[0] = '\0';
        }
    }
    if (path == nullptr) {
        path = "";
    }
    if (name != nullptr) {
        const char *slash = std::strrchr(path, '/');
        std::snprintf(name, KELMOR_NAME_SIZE, "%s", slash != nullptr ? slash + 1 : path);
    }
    if (date != nullptr || time != nullptr) {
        struct stat st {};
        struct tm local {};
        if (::stat(path, &st) == 0 && ::localtime_r(&st.st_mtime, &local) != nullptr) {
            if (date != nullptr &&
                std::snprintf(date, KELMOR_DATE_SIZE, "%02i-%02i-%li", local.tm_mday,
                              local.tm_mon + 1,
                              static_cast<long>(local.tm_year) + 1900) >= KELMOR_DATE_SIZE) {
                date[0] = '\0'; // a year too far out for the field: no date rather than half
            }
            if (time != nullptr) {
                std::snprintf(time, KELMOR_TIME_SIZE, "%02i:%02i", local.tm_hour, local.tm_min);
            }
        }
    }
    if (version != nullptr) {
        kelmor::FileImage image;
        if (kelmor::readFileImage(path, image) != kelmor::ReadResult::ok ||
            !kelmor::findVersion(image.bytes.get(), image.count, version, KELMOR_VERSION_SIZE)) {
            std::snprintf(version, KELMOR_VERSION_SIZE, "%s", "n/a");
        }
    }
    return 0;
}
