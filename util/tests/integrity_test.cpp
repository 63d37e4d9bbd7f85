// CRC-32 and the embedded-CRC convention on real files.
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <iconv.h>
#include <string>
#include <unistd.h>

#include "kelmor_crc32.h"
#include "temp_dir.h"

namespace {

const std::string kMarker = KELMOR_CRC_MARKER;

uint32_t crcOf(const std::string &bytes) {
    return Crc32(bytes.data(), static_cast<int32_t>(bytes.size()));
}

std::string hex8(uint32_t v, const char *format = "%08X") {
    char text[16];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

// head + marker + digits + tail, the digits being the file's CRC computed with
// `zeroed` (what the check turns the digits into) in their place.
std::string stampedFile(const std::string &head, const std::string &zeroed, const std::string &tail,
                        std::string (*digitsOf)(uint32_t)) {
    const uint32_t crc = crcOf(head + kMarker + zeroed + tail);
    return head + kMarker + digitsOf(crc) + tail;
}

struct Check {
    int result;
    uint32_t stored;
    uint32_t computed;
    uint32_t whole;
};

Check check(const std::string &path) {
    Check c{};
    c.result = CheckFileInternalCRC32(path.c_str(), &c.stored, &c.computed, &c.whole);
    return c;
}

TEST(Marker, IsTheTextInCodePage1251) {
    std::string utf8 = "ВстроенныйCRC32=";
    char out[64] = {};
    char *in = utf8.data();
    char *to = out;
    size_t inLeft = utf8.size(), outLeft = sizeof out;
    iconv_t cd = iconv_open("CP1251", "UTF-8");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    ASSERT_NE(iconv(cd, &in, &inLeft, &to, &outLeft), static_cast<size_t>(-1));
    iconv_close(cd);
    EXPECT_EQ(std::string(out, to), kMarker);
    EXPECT_EQ(kMarker.size(), size_t{KELMOR_CRC_MARKER_LENGTH});
}

TEST(Crc32, PublishedCheckValues) {
    EXPECT_EQ(crcOf("123456789"), 0xCBF43926u);
    EXPECT_EQ(crcOf("The quick brown fox jumps over the lazy dog"), 0x414FA339u);
    EXPECT_EQ(crcOf(std::string(1, '\0')), 0xD202EF8Du);
    EXPECT_EQ(Crc32("abc", 0), 0u);
    EXPECT_EQ(Crc32("abc", -5), 0u);
    EXPECT_EQ(Crc32(nullptr, 10), 0u);
}

TEST(GetFileCRC32, WholeFileOrZeroOrMinusOne) {
    TempDir dir;
    const std::string data = "123456789";
    writeFile(dir.file("data"), data);
    EXPECT_EQ(GetFileCRC32(dir.file("data").c_str()), 0xCBF43926u);

    writeFile(dir.file("empty"), "");
    EXPECT_EQ(GetFileCRC32(dir.file("empty").c_str()), 0u);
    EXPECT_EQ(GetFileCRC32(dir.file("missing").c_str()), 0u);
    EXPECT_EQ(GetFileCRC32(dir.path().c_str()), 0u) << "a directory is not a file";
    EXPECT_EQ(GetFileCRC32(nullptr), 0u);

    // 3 GiB (sparse): more than a 32-bit length can cover, refused as out of memory.
    const std::string huge = dir.file("huge");
    const int fd = ::open(huge.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 3LL << 30), 0);
    ::close(fd);
    EXPECT_EQ(GetFileCRC32(huge.c_str()), 0xFFFFFFFFu);
    EXPECT_EQ(CheckFileInternalCRC32(huge.c_str(), nullptr, nullptr, nullptr), -1);
    EXPECT_EQ(SetupFileInternalCRC32(huge.c_str()), -1);
}

std::string upper(uint32_t v) {
    return hex8(v) + '\0';
}
std::string lower(uint32_t v) {
    return hex8(v, "%08x") + '\0';
}
std::string prefixed(uint32_t v) {
    return " \t 0x" + hex8(v) + '\0';
}
std::string prefixedUpperX(uint32_t v) {
    return "0X" + hex8(v, "%08x") + '\0';
}

struct Convention {
    const char *what;
    std::string zeroed; // the digits as the check rewrites them
    std::string (*digits)(uint32_t);
};

class EmbeddedConvention : public ::testing::TestWithParam<Convention> {};

TEST_P(EmbeddedConvention, IntactThenOneByteChanged) {
    const Convention &c = GetParam();
    TempDir dir;
    const std::string head = "\x7f"
                             "ELF some leading bytes\n";
    const std::string tail = std::string("trailing data") + std::string(40, '\x01');
    const std::string file = stampedFile(head, c.zeroed, tail, c.digits);
    writeFile(dir.file("f"), file);

    Check intact = check(dir.file("f"));
    EXPECT_EQ(intact.result, 0);
    EXPECT_EQ(intact.stored, intact.computed);
    EXPECT_EQ(intact.computed, crcOf(head + kMarker + c.zeroed + tail));
    EXPECT_EQ(intact.whole, crcOf(file));

    // Any byte outside the marker and its digits, before or after.
    for (size_t at : {size_t{0}, head.size() - 1, file.size() - 1}) {
        std::string changed = file;
        changed[at] ^= 0x20;
        writeFile(dir.file("f"), changed);
        Check bad = check(dir.file("f"));
        EXPECT_EQ(bad.result, 1) << "byte " << at;
        EXPECT_EQ(bad.stored, intact.stored);
        EXPECT_NE(bad.computed, bad.stored);
        EXPECT_EQ(bad.whole, crcOf(changed));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Digits, EmbeddedConvention,
    ::testing::Values(Convention{"upper", std::string("00000000") + '\0', upper},
                      Convention{"lower", std::string("00000000") + '\0', lower},
                      Convention{"blanks_0x", std::string(13, '0') + '\0', prefixed},
                      Convention{"0X_lower", std::string(10, '0') + '\0', prefixedUpperX}),
    [](const auto &info) { return std::string(info.param.what); });

TEST(CheckFileInternalCRC32, FailuresGiveMinusOneAndZeroOutputs) {
    TempDir dir;
    writeFile(dir.file("plain"), "no marker here, whatever the content 00000000");
    writeFile(dir.file("empty"), "");
    // The marker less its last byte is no marker.
    writeFile(dir.file("partial"), "abc" + kMarker.substr(0, 15) + "-12345678");
    for (const std::string &path : {dir.file("plain"), dir.file("empty"), dir.file("partial"),
                                    dir.file("missing"), dir.path().string()}) {
        uint32_t stored = 7, computed = 7, whole = 7;
        EXPECT_EQ(CheckFileInternalCRC32(path.c_str(), &stored, &computed, &whole), -1) << path;
        EXPECT_EQ(stored, 0u);
        if (path == dir.file("plain") || path == dir.file("partial")) {
            // Readable: both CRCs are of the file as it is.
            EXPECT_EQ(computed, crcOf(readFile(path)));
            EXPECT_EQ(whole, computed);
        } else {
            EXPECT_EQ(computed, 0u) << path;
            EXPECT_EQ(whole, 7u) << "not touched when the file cannot be read";
        }
    }
    EXPECT_EQ(CheckFileInternalCRC32(nullptr, nullptr, nullptr, nullptr), -1);
}

TEST(CheckFileInternalCRC32, OnlyTheFirstMarkerCountsAndWholeMayBeNull) {
    TempDir dir;
    const std::string second = kMarker + "DEADBEEF" + '\0';
    const std::string file = stampedFile("x", std::string("00000000") + '\0', second, upper);
    writeFile(dir.file("f"), file);
    uint32_t stored = 0, computed = 0;
    EXPECT_EQ(CheckFileInternalCRC32(dir.file("f").c_str(), &stored, &computed, nullptr), 0);
    EXPECT_NE(stored, 0xDEADBEEFu);
}

TEST(CheckFileInternalCRC32, MarkerAtTheVeryEnd) {
    TempDir dir;
    // No digits at all: the stored value is 0 and cannot match.
    writeFile(dir.file("f"), "abc" + kMarker);
    Check c = check(dir.file("f"));
    EXPECT_EQ(c.result, 1);
    EXPECT_EQ(c.stored, 0u);
    EXPECT_EQ(c.computed, crcOf("abc" + kMarker));
    // Digits cut short by the end of the file: read as far as they go.
    writeFile(dir.file("f"), "abc" + kMarker + "0x12");
    c = check(dir.file("f"));
    EXPECT_EQ(c.stored, 0x12u);
    EXPECT_EQ(c.computed, crcOf("abc" + kMarker + "0000"));
}

TEST(SetupFileInternalCRC32, StampThenCheckKeepsLengthAndTail) {
    TempDir dir;
    std::string file = "header" + kMarker + "FFFFFFFF" + '\0';
    for (int i = 0; i < 200; ++i) {
        file += static_cast<char>(i * 7);
    }
    writeFile(dir.file("f"), file);
    ASSERT_EQ(SetupFileInternalCRC32(dir.file("f").c_str()), 0);

    const std::string after = readFile(dir.file("f"));
    ASSERT_EQ(after.size(), file.size());
    const size_t digits = 6 + kMarker.size();
    EXPECT_EQ(after.substr(0, digits), file.substr(0, digits));
    EXPECT_EQ(after.substr(digits + 8), file.substr(digits + 8));
    std::string zeroed = file;
    zeroed.replace(digits, 8, "00000000");
    EXPECT_EQ(after.substr(digits, 8), hex8(crcOf(zeroed)));

    Check c = check(dir.file("f"));
    EXPECT_EQ(c.result, 0);
    EXPECT_EQ(c.whole, crcOf(after));
    // Stamping again changes nothing.
    ASSERT_EQ(SetupFileInternalCRC32(dir.file("f").c_str()), 0);
    EXPECT_EQ(readFile(dir.file("f")), after);
}

// The write-back covers the marker and 32 bytes after it; near the end of the
// file it must stop at the end.
TEST(SetupFileInternalCRC32, MarkerInTheLastBytesWritesNothingPastTheEnd) {
    for (size_t after :
         {size_t{0}, size_t{3}, size_t{8}, size_t{9}, size_t{20}, size_t{32}, size_t{33}}) {
        SCOPED_TRACE(after);
        TempDir dir;
        const std::string head(30, 'h');
        std::string tailBytes = "12345678";
        tailBytes += '\0';
        tailBytes += std::string(40, 't');
        const std::string file = head + kMarker + tailBytes.substr(0, after);
        writeFile(dir.file("f"), file);
        ASSERT_EQ(SetupFileInternalCRC32(dir.file("f").c_str()), 0);
        const std::string stamped = readFile(dir.file("f"));
        ASSERT_EQ(stamped.size(), file.size());
        EXPECT_EQ(stamped.substr(0, head.size() + 16), file.substr(0, head.size() + 16));
        if (after >= 9) {
            EXPECT_EQ(check(dir.file("f")).result, 0);
            EXPECT_EQ(stamped.substr(head.size() + 25), file.substr(head.size() + 25));
        }
    }
}

TEST(SetupFileInternalCRC32, RefusesWhatItCannotStamp) {
    TempDir dir;
    writeFile(dir.file("short"), kMarker.substr(0, 16) + "123"); // 19 bytes
    writeFile(dir.file("plain"), std::string(100, 'x'));
    writeFile(dir.file("empty"), "");
    for (const std::string &path : {dir.file("short"), dir.file("plain"), dir.file("empty"),
                                    dir.file("missing"), dir.path().string()}) {
        const std::string before = readFile(path);
        EXPECT_EQ(SetupFileInternalCRC32(path.c_str()), -1) << path;
        EXPECT_EQ(readFile(path), before);
    }
    EXPECT_EQ(SetupFileInternalCRC32(nullptr), -1);
}

} // namespace
