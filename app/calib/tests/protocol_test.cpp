// The protocol's lines byte for byte, and the file: appended, code page 1251,
// CR LF, synced to the disk after each write.
#include "cp1251.h"
#include "disk_sync.h"
#include "protocol_file.h"
#include "protocol_text.h"

#include <gtest/gtest.h>

#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace ortav::calib;
namespace fs = std::filesystem;

std::string slurp(const fs::path &p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

class TempDir : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/ortav_protocol_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir;
};

TEST(ProtocolText, LinesAsTheExamples) {
    // Set 100 ohms, measured 100.05, permitted 0.1 ohm: passed, ends in a blank.
    EXPECT_EQ(resistanceLine(1, 100.0, 100.05, 100.05 - 100.0, 0.1, false),
              "1        100.0000 Ом   100.0500 Ом     0.0500 Ом (0.050%) /0.100%/ \n");
    EXPECT_EQ(currentLine(2, 2.0, 2.012, 2.012 - 2.0, true),
              "2         2.0000мА      2.0120мА      0.0120мА (0.600%) /0.01mA/ не норма\n");
    // A set value of 0 prints both percentages as 0.
    EXPECT_EQ(resistanceLine(1, 0.0, 0.5, 0.5, 0.05, true),
              "1          0.0000 Ом     0.5000 Ом     0.5000 Ом (0.000%) /0.000%/ не норма\n");
    // Percentages are absolute values.
    EXPECT_EQ(currentLine(1, 1.0, 0.995, -0.005, false),
              "1         1.0000мА      0.9950мА     -0.0050мА (0.500%) /0.01mA/ \n");
}

TEST(ProtocolText, DecimalPointWhateverTheLocale) {
    const char *ru = std::setlocale(LC_ALL, "ru_RU.UTF-8");
    if (ru == nullptr)
        GTEST_SKIP() << "no ru_RU.UTF-8 locale here";
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    EXPECT_STREQ(probe, "1,5"); // the locale really writes a comma
    EXPECT_EQ(resistanceLine(1, 100.0, 100.05, 100.05 - 100.0, 0.1, false),
              "1        100.0000 Ом   100.0500 Ом     0.0500 Ом (0.050%) /0.100%/ \n");
    EXPECT_EQ(formatProtocol("%lg", 0.00295), "0.00295");
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    EXPECT_STREQ(probe, "1,5"); // and is back afterwards
    std::setlocale(LC_ALL, "C");
}

TEST(ProtocolText, HeadingsAndColumnHeadings) {
    EXPECT_EQ(std::string(kColumnsR), "канал" + std::string(10, ' ') + "Rз" + std::string(12, ' ') +
                                          "Rx" + std::string(11, ' ') + "A(R)x" +
                                          std::string(11, ' ') + "/норма/\n");
    EXPECT_EQ(std::string(kColumnsI), "канал" + std::string(9, ' ') + "Iз" + std::string(11, ' ') +
                                          "Ix" + std::string(11, ' ') + "A(I)x" +
                                          std::string(11, ' ') + "/норма/\n");
    std::tm t{};
    t.tm_year = 126, t.tm_mon = 11, t.tm_mday = 9, t.tm_hour = 7, t.tm_min = 5, t.tm_sec = 3;
    EXPECT_EQ(formatProtocol(kHeadingDateTime, dateText(t).c_str(), timeText(t).c_str()),
              "12-09-2026, 07:05:03\n");
    // Texts longer than the buffer are cut, never overrun it.
    const std::string longText(5000, 'x');
    EXPECT_EQ(formatProtocol("%s", longText.c_str()).size(), 1023u);
}

TEST_F(TempDir, FileIsAppendedInCp1251WithCrLf) {
    const fs::path p = dir / "ortav.log";
    { std::ofstream(p, std::ios::binary) << "earlier contents\r\n"; }
    int fd = openProtocol(p.c_str());
    ASSERT_GT(fd, 0);
    ASSERT_TRUE(writeProtocol(fd, kHeadingTitle));
    const std::string line = resistanceLine(1, 100.0, 100.05, 0.05, 0.1, false);
    ASSERT_TRUE(writeProtocol(fd, line));
    // Each write is in the file at once, before anything is closed.
    EXPECT_EQ(slurp(p),
              "earlier contents\r\n" + protocolBytes(kHeadingTitle) + protocolBytes(line));
    ASSERT_TRUE(writeProtocol(fd, kClosingPassed));
    closeProtocol(fd);

    fd = openProtocol(p.c_str());
    ASSERT_GT(fd, 0);
    ASSERT_TRUE(writeProtocol(fd, kHeadingTitle));
    closeProtocol(fd);

    EXPECT_EQ(slurp(p), "earlier contents\r\n" + protocolBytes(kHeadingTitle) +
                            protocolBytes(line) + protocolBytes(kClosingPassed) +
                            protocolBytes(kHeadingTitle));
    // The bytes: code page 1251, CR before each LF, nothing else touched.
    EXPECT_EQ(protocolBytes("Протокол Ом мА\n"),
              "\xCF\xF0\xEE\xF2\xEE\xEA\xEE\xEB \xCE\xEC \xEC\xC0\r\n");
    EXPECT_EQ(protocolBytes(kClosingPassed), ortav::text::toCp1251(kClosingPassed));
    EXPECT_EQ(protocolBytes("a\nb\n"), "a\r\nb\r\n");
}

TEST_F(TempDir, UnwritablePlacesGiveNoHandle) {
    EXPECT_EQ(openProtocol((dir / "missing" / "ortav.log").c_str()), -1);
    EXPECT_EQ(openProtocol(dir.c_str()), -1); // a folder
    EXPECT_EQ(openProtocol(""), -1);
    EXPECT_EQ(openProtocol(nullptr), -1);
    if (geteuid() != 0) {
        const fs::path ro = dir / "ro.log";
        std::ofstream(ro) << "";
        chmod(ro.c_str(), 0444);
        EXPECT_EQ(openProtocol(ro.c_str()), -1);
    }
    EXPECT_FALSE(writeProtocol(0, "x\n"));
    EXPECT_FALSE(writeProtocol(-1, "x\n"));
}

// The syncs run beside the caller: the descriptor may be closed at once, and a
// failed sync is told once, by the next wait or the next protocol write after it.
TEST_F(TempDir, SyncsRunBesideTheCallerAndTellFailuresOnce) {
    const fs::path p = dir / "a.csv";
    int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "row\n", 4), 4);
    EXPECT_TRUE(syncInBackground(fd));
    ::close(fd);
    EXPECT_TRUE(waitForDisk());
    EXPECT_EQ(slurp(p), "row\n");

    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0); // a pipe cannot be synced
    EXPECT_TRUE(syncInBackground(pipeFds[1]));
    EXPECT_FALSE(waitForDisk());
    EXPECT_TRUE(waitForDisk());

    EXPECT_TRUE(writeProtocol(pipeFds[1], "x\n"));
    // Synced in the background; the failure is told by the next write.
    syncHandedOver();
    EXPECT_FALSE(writeProtocol(pipeFds[1], "y\n"));
    closeProtocol(pipeFds[1]);
    EXPECT_TRUE(waitForDisk()); // told by closing's wait, or the write before
    char got[8] = {};
    EXPECT_EQ(::read(pipeFds[0], got, sizeof got), 6);
    EXPECT_STREQ(got, "x\r\ny\r\n");
    ::close(pipeFds[0]);
}

// A line handed over just after a sync, with nobody waiting for it, is synced
// by the end of the next gathering all the same (the worker is not woken for
// it while lines keep coming).
TEST_F(TempDir, LinesAfterASyncAreSyncedWithoutAWaiter) {
    const fs::path p = dir / "b.csv";
    int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(syncInBackground(fd));
    ::close(fd);
    // Past its gathering and its sync, nobody waiting: the next is gathering.
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));

    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0); // its sync fails: that tells it was tried
    EXPECT_TRUE(syncInBackground(pipeFds[1]));
    int error = 0;
    for (int i = 0; i < 40 && syncedSoFar(&error); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(error, EINVAL);
    EXPECT_TRUE(waitForDisk());
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
}

TEST_F(TempDir, HandleIsNeverZeroEvenWithStdinClosed) {
    const int saved = dup(0);
    close(0);
    const int fd = openProtocol((dir / "a.log").c_str());
    dup2(saved, 0);
    close(saved);
    EXPECT_GT(fd, 0);
    closeProtocol(fd);
}

} // namespace
