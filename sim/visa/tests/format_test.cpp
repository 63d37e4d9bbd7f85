// Numbers in formatted I/O are written and read with a decimal point, the text
// being the C locale's, in a process that adopted a user's locale writing a
// decimal comma as well as in one that did not.
#include "format.h"
#include "visa.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdarg>
#include <string>

namespace {

using namespace ortav::simvisa;

std::string written(const char *fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::string out;
    EXPECT_EQ(formatWrite(fmt, &args, out), VI_SUCCESS) << fmt;
    va_end(args);
    return out;
}

ViStatus scanned(const char *fmt, std::string_view in, ...) {
    va_list args;
    va_start(args, in);
    const ViStatus st = scanRead(fmt, in, &args);
    va_end(args);
    return st;
}

class FormatNumbers : public ::testing::TestWithParam<const char *> {
protected:
    void SetUp() override {
        if (std::setlocale(LC_ALL, GetParam()) == nullptr)
            GTEST_SKIP() << "no " << GetParam() << " locale here";
    }
    void TearDown() override { std::setlocale(LC_ALL, "C"); }
};

TEST_P(FormatNumbers, WrittenAsInTheCLocale) {
    EXPECT_EQ(written("VOLT %f\n", 1.5), "VOLT 1.500000\n");
    EXPECT_EQ(written("%.3e", 0.00295), "2.950e-03");
    EXPECT_EQ(written("%g;%G", 0.01, 1e-7), "0.01;1E-07");
    EXPECT_EQ(written("%+08.2lf", -1.5), "-0001.50");
    EXPECT_EQ(written("%#.3g", 2.0), "2.00");
    EXPECT_EQ(written("%*.*f|%d", 8, 2, 3.14159, 1234567), "    3.14|1234567");
}

TEST_P(FormatNumbers, ReadWithTheirDecimalPoint) {
    double a = 0, b = 0;
    float f = 0;
    ASSERT_EQ(scanned("%lf,%lf;%f", "+1.25E+2,-0.5e-3;0.75\n", &a, &b, &f), VI_SUCCESS);
    EXPECT_EQ(a, 125.0);
    EXPECT_EQ(b, -0.0005);
    EXPECT_EQ(f, 0.75f);
    double c = 0;
    int n = 0;
    ASSERT_EQ(scanned("%4lf%d", "2.5017", &c, &n), VI_SUCCESS); // width ends the number
    EXPECT_EQ(c, 2.5);
    EXPECT_EQ(n, 17);
}

INSTANTIATE_TEST_SUITE_P(Locales, FormatNumbers, ::testing::Values("C", "ru_RU.UTF-8"),
                         [](const auto &info) {
                             return std::string(info.index == 0 ? "C" : "DecimalComma");
                         });

} // namespace
