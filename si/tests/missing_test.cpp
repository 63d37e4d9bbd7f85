// Driver libraries that are missing or incomplete. This program lives apart
// from the build's library folder, so only the folder it is given is searched.
#include "delay.h"
#include "fake_drivers.h"
#include "fake_host.h"
#include "library.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace {

class Missing : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("ORTAV_DRIVER_PATH", BROKEN_DRIVER_DIR, 1);
        ortav::clock::setVirtual(true);
        host().clear();
        clearSiState();
        host().choice = {{hpe1412_MODEL_CODE, &hp},
                         {mervd_MODEL_CODE, &meter},
                         {sulvat_MODEL_CODE, &meter},
                         {tarnel_MODEL_CODE, &meter}};
    }
    InstrumentEntry hp = entry("VXI0::24::INSTR", hpe1412_MODEL_CODE);
    InstrumentEntry meter = entry("VXI0::32::INSTR", mervd_MODEL_CODE);
};

TEST_F(Missing, ALibraryLackingABoundOnlyExportIsRefused) {
    ortav::loader::Library lib("libmervd.so");
    ASSERT_TRUE(lib.loaded()) << lib.error();
    ASSERT_NE(lib.symbol("mervd_measure_Q"), nullptr);
    ASSERT_EQ(lib.symbol("mervd_trigCoun"), nullptr);

    EXPECT_EQ(loadLibs(mervd_MODEL_CODE), -1);
    for (void *p : {(void *)p_mervd_init, (void *)p_mervd_close, (void *)p_mervd_error_message,
                    (void *)p_mervd_fresRang, (void *)p_mervd_measure_Q, (void *)p_mervd_trigCoun})
        EXPECT_EQ(p, nullptr);
    EXPECT_EQ(SelectDMM(), 1); // quietly
    EXPECT_TRUE(host().statusLines.empty());
    EXPECT_TRUE(host().panel.empty());
    EXPECT_TRUE(host().ledColors.empty());
}

TEST_F(Missing, MissingLibraries) {
    for (int code : {hp3458a_MODEL_CODE, sulvat_MODEL_CODE, tarnel_MODEL_CODE, carrik_MODEL_CODE})
        EXPECT_EQ(loadLibs(code), -1) << code;
    EXPECT_EQ(p_sulvat_init, nullptr);
    EXPECT_EQ(p_tarnel_measure_Q, nullptr);
    EXPECT_EQ(si::p_carrik_init, nullptr);
    // Codes that are none of ours load nothing and succeed.
    for (int code : {0, 1, 33, 3457, 0x10D + 1})
        EXPECT_EQ(loadLibs(code), 0) << code;

    EXPECT_EQ(SelectDMM1(), 1);
    EXPECT_EQ(SelectM_DMM1(), 1);
    EXPECT_TRUE(host().statusLines.empty());
    EXPECT_TRUE(host().ledColors.empty());

    // Only the HP E1412 reports its missing driver, under the waiting message.
    EXPECT_EQ(SelectHP1412(), -1);
    EXPECT_EQ(siStatus, -1);
    EXPECT_EQ(host().statusLines, std::vector<std::string>{"loadLibs"});
    EXPECT_EQ(host().panel,
              (std::vector<std::string>{"show:\nПодождите,\n\nидет открытие инструмента HP1412\n",
                                        "hide"}));
    EXPECT_EQ(host().ledColors, std::vector<int>{0xFFFF00});
}

std::string missing(const std::string &file) {
    return "\"" + file + "\": " + file +
           ": cannot open shared object file: No such file or directory";
}

// "Мультиметр не найден" says why each driver library could not be used: the
// missing ones, and the one that lacks an entry point, by library and symbol.
TEST_F(Missing, SelectHPFindsNothingAndSaysWhy) {
    selectHP(); // no VISA library either: the HP 3458A search fails too
    EXPECT_EQ(hasMultimeter(), 0);
    EXPECT_EQ(host().listTitles.size(), 4u);
    const std::string text = "Мультиметр не найден\n" + missing("libtarnel_32.so") + "\n" +
                             missing("libhpe1412_32.so") + "\n" + missing("libsulvat.so") + "\n" +
                             "\"mervd_trigCoun\" in \"libmervd.so\": " BROKEN_DRIVER_DIR
                             "/libmervd.so: undefined symbol: mervd_trigCoun";
    EXPECT_EQ(host().messages, (std::vector<std::pair<std::string, std::string>>{
                                   {"Панель поверки-калибровки", text}}));
    // Each search starts afresh.
    host().clear();
    host().choice = {{mervd_MODEL_CODE, &meter}};
    selectHP();
    EXPECT_EQ(host().messages, (std::vector<std::pair<std::string, std::string>>{
                                   {"Панель поверки-калибровки",
                                    "Мультиметр не найден\n\"mervd_trigCoun\" in "
                                    "\"libmervd.so\": " BROKEN_DRIVER_DIR
                                    "/libmervd.so: undefined symbol: mervd_trigCoun"}}));
}

// A driver library cut short (a failed copy) is skipped before it is mapped,
// where it would fault, and named with the reason.
TEST_F(Missing, ATruncatedLibraryIsNamedNotMapped) {
    const std::string dir = ::testing::TempDir() + "si_truncated_" + std::to_string(getpid());
    std::filesystem::create_directories(dir);
    std::ifstream in(BROKEN_DRIVER_DIR "/libmervd.so", std::ios::binary);
    const std::string elf(std::istreambuf_iterator<char>(in), {});
    std::ofstream(dir + "/libsulvat.so", std::ios::binary) << elf.substr(0, elf.size() / 2);
    setenv("ORTAV_DRIVER_PATH", dir.c_str(), 1);
    host().choice = {{sulvat_MODEL_CODE, &meter}};
    selectHP();
    EXPECT_EQ(hasMultimeter(), 0);
    ASSERT_EQ(host().messages.size(), 1u);
    const std::string &text = host().messages[0].second;
    const std::string line = "\n\"libsulvat.so\": " + dir + "/libsulvat.so: truncated: ";
    EXPECT_NE(text.find(line), std::string::npos) << text;
    std::filesystem::remove_all(dir);
}

} // namespace
