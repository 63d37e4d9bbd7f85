// Version, date, time and name of a file for display.
#include <ctime>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

#include "kelmor_crc32.h"
#include "temp_dir.h"

namespace {

struct Info {
    std::string version, date, time, name;
};

Info info(const std::string &path) {
    char version[KELMOR_VERSION_SIZE] = "x", date[KELMOR_DATE_SIZE] = "x",
         time[KELMOR_TIME_SIZE] = "x", name[KELMOR_NAME_SIZE] = "x";
    EXPECT_EQ(GetFInfo(path.c_str(), version, date, time, name), 0);
    return {version, date, time, name};
}

void setLocalMTime(const std::string &path, int year, int month, int day, int hour, int minute) {
    struct tm local {};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = 42;
    local.tm_isdst = -1;
    const struct timespec times[2] = {{mktime(&local), 0}, {mktime(&local), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

TEST(GetFInfo, VersionDateTimeAndName) {
    TempDir dir;
    const std::string path = dir.file("libthing.so");
    writeFile(path, std::string("\0\1junk", 6) + KELMOR_VERSION_PREFIX "2.10.3" + '\0' +
                        KELMOR_VERSION_PREFIX "9.9.9" + '\0');
    setLocalMTime(path, 2024, 3, 5, 7, 9);
    const Info i = info(path);
    EXPECT_EQ(i.version, "2.10.3");
    EXPECT_EQ(i.date, "05-03-2024");
    EXPECT_EQ(i.time, "07:09");
    EXPECT_EQ(i.name, "libthing.so");

    setLocalMTime(path, 1999, 12, 31, 23, 59);
    EXPECT_EQ(info(path).date, "31-12-1999");
    EXPECT_EQ(info(path).time, "23:59");
}

TEST(GetFInfo, VersionLimitsAndAbsence) {
    TempDir dir;
    struct Case {
        std::string bytes;
        std::string version;
    } cases[] = {
        {"no version text at all", "n/a"},
        {std::string(KELMOR_VERSION_PREFIX) + '\0' + "rest", "n/a"},
        {std::string(KELMOR_VERSION_PREFIX) + std::string(40, '7'), std::string(31, '7')},
        {std::string("x") + KELMOR_VERSION_PREFIX "1.0", "1.0"}, // ends with the file
        {"", "n/a"},
    };
    for (const Case &c : cases) {
        writeFile(dir.file("f"), c.bytes);
        EXPECT_EQ(info(dir.file("f")).version, c.version) << c.bytes;
    }
}

TEST(GetFInfo, MissingFileAndNullOutputs) {
    const Info i = info("/nonexistent/dir/some.so");
    EXPECT_EQ(i.version, "n/a");
    EXPECT_EQ(i.date, "");
    EXPECT_EQ(i.time, "");
    EXPECT_EQ(i.name, "some.so");
    EXPECT_EQ(info("bare-name").name, "bare-name");
    EXPECT_EQ(info(std::string(200, 'n')).name, std::string(127, 'n'));
    EXPECT_EQ(GetFInfo("/nonexistent", nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(GetFInfo(nullptr, nullptr, nullptr, nullptr, nullptr), 0);
}

} // namespace
