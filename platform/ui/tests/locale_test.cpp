// Starting the run time under a user's locale that writes numbers with a
// decimal comma: the C library keeps reading and writing a decimal point.
#include "userint.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <locale.h>

TEST(RunTime, KeepsTheDecimalPointOfTheCLibraryUnderTheUsersLocale) {
    const locale_t ru = newlocale(LC_ALL_MASK, "ru_RU.UTF-8", static_cast<locale_t>(0));
    if (ru == static_cast<locale_t>(0))
        GTEST_SKIP() << "no ru_RU.UTF-8 locale here";
    freelocale(ru);
    setenv("LC_ALL", "ru_RU.UTF-8", 1);

    ASSERT_EQ(InitCVIRTE(0, nullptr), 1);
    // The user's locale is adopted for everything else...
    EXPECT_STREQ(std::setlocale(LC_CTYPE, nullptr), "ru_RU.UTF-8");
    EXPECT_STREQ(std::setlocale(LC_MESSAGES, nullptr), "ru_RU.UTF-8");
    // ...but not for numbers.
    EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
    char text[16];
    std::snprintf(text, sizeof text, "%.2f", 0.25);
    EXPECT_STREQ(text, "0.25");
    EXPECT_EQ(std::strtod("0.01", nullptr), 0.01);
}
