// The table against the C library's iconv, over every byte and every character
// of the Basic Multilingual Plane.
#include "cp1251.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cerrno>
#include <optional>
#include <string>

namespace {

using namespace ortav::text;

class Iconv {
public:
    Iconv(const char *to, const char *from) : cd_(iconv_open(to, from)) {}
    ~Iconv() {
        if (ok())
            iconv_close(cd_);
    }
    Iconv(const Iconv &) = delete;
    Iconv &operator=(const Iconv &) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // The whole input converted, or nothing when iconv refuses any of it.
    std::optional<std::string> operator()(const std::string &in) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        std::string out(in.size() * 4 + 8, '\0');
        char *src = const_cast<char *>(in.data());
        std::size_t srcLeft = in.size();
        char *dst = out.data();
        std::size_t dstLeft = out.size();
        if (iconv(cd_, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1))
            return std::nullopt;
        out.resize(out.size() - dstLeft);
        return out;
    }

private:
    iconv_t cd_;
};

std::string utf8(char32_t c) {
    std::string s;
    if (c < 0x80) {
        s += static_cast<char>(c);
    } else if (c < 0x800) {
        s += static_cast<char>(0xC0 | (c >> 6));
        s += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        s += static_cast<char>(0xE0 | (c >> 12));
        s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        s += static_cast<char>(0xF0 | (c >> 18));
        s += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (c & 0x3F));
    }
    return s;
}

TEST(Cp1251, EveryByteDecodesAsIconvDoesAndRoundTrips) {
    Iconv decode("UTF-8", "CP1251");
    ASSERT_TRUE(decode.ok());
    int unassigned = 0;
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        const std::string ours = fromCp1251(byte);
        if (auto theirs = decode(byte)) {
            EXPECT_EQ(ours, *theirs) << "byte 0x" << std::hex << b;
        } else {
            // The code page leaves only 0x98 unassigned; we keep it as U+0098.
            EXPECT_EQ(b, 0x98);
            EXPECT_EQ(ours, utf8(0x98));
            ++unassigned;
        }
        EXPECT_EQ(toCp1251(ours), byte) << "byte 0x" << std::hex << b;
        EXPECT_EQ(unicodeToCp1251(cp1251ToUnicode(static_cast<unsigned char>(b))), b);
    }
    EXPECT_LE(unassigned, 1);
}

TEST(Cp1251, EveryBmpCharacterEncodesAsIconvDoesOrIsReplaced) {
    Iconv encode("CP1251", "UTF-8");
    ASSERT_TRUE(encode.ok());
    for (char32_t c = 1; c < 0x10000; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        const std::string in = utf8(c);
        const std::string ours = toCp1251(in);
        const auto theirs = encode(in);
        if (theirs) {
            ASSERT_EQ(ours, *theirs) << "U+" << std::hex << static_cast<unsigned>(c);
        } else if (c != 0x98) {
            ASSERT_EQ(ours, std::string(1, kReplacement))
                << "U+" << std::hex << static_cast<unsigned>(c);
        }
    }
    EXPECT_EQ(toCp1251(utf8(0x1F600)), "?");
}

TEST(Cp1251, ProtocolTextsMatchIconv) {
    Iconv encode("CP1251", "UTF-8");
    for (const std::string s :
         {"Протокол проверки погрешности мезонина ORTAV\n",
          "1        100.0000 Ом   100.0500 Ом     0.0500 Ом (0.050%) /0.100%/ \n",
          "2         2.0000мА      2.0120мА      0.0120мА (0.600%) /0.01mA/ не норма\n",
          "Имитация: стенд Моделируемый стенд (по умолчанию) — №1, «Ёё»"}) {
        EXPECT_EQ(toCp1251(s), encode(s).value()) << s;
        EXPECT_EQ(fromCp1251(toCp1251(s)), s);
    }
}

TEST(Cp1251, MalformedUtf8IsReplacedBytewise) {
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"\x80", "?"},                                     // stray continuation byte
        {"a\xD0", "a?"},                                   // truncated two-byte sequence
        {"\xD0\x41", "?A"},                                // lead byte without continuation
        {"\xC0\xAF", "??"},                                // overlong '/'
        {"\xE0\x80\xAF", "???"},                           // overlong, three bytes
        {"\xED\xA0\x80", "???"},                           // a surrogate
        {"\xF4\x90\x80\x80", "????"},                      // above U+10FFFF
        {"\xFF\xFEЯ", "??\xDF"},                           // bytes that never start a sequence
        {std::string("\0Я", 3), std::string("\0\xDF", 2)}, // NUL is kept
    };
    for (const Case &c : cases)
        EXPECT_EQ(toCp1251(c.in), c.out);
}

} // namespace
