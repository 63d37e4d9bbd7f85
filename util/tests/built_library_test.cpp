// The library as built: stamped, so it checks intact, and carrying its version.
#include <gtest/gtest.h>
#include <string>

#include "kelmor_crc32.h"

TEST(BuiltMathLibrary, ChecksIntactAndCarriesItsVersion) {
    uint32_t stored = 0, computed = 0, whole = 0;
    EXPECT_EQ(CheckFileInternalCRC32(ORTAV_MATH_FILE, &stored, &computed, &whole), 0);
    EXPECT_EQ(stored, computed);
    EXPECT_NE(stored, 0u);
    EXPECT_EQ(whole, GetFileCRC32(ORTAV_MATH_FILE));

    char version[KELMOR_VERSION_SIZE], name[KELMOR_NAME_SIZE], date[KELMOR_DATE_SIZE];
    EXPECT_EQ(GetFInfo(ORTAV_MATH_FILE, version, date, nullptr, name), 0);
    EXPECT_STREQ(version, ORTAV_PROJECT_VERSION);
    EXPECT_EQ(std::string(name), std::string("libortav_math.so.") + ORTAV_PROJECT_VERSION);
    EXPECT_EQ(std::string(date).size(), 10u);
}
