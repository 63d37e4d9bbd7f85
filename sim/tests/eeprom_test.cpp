// The module's EEPROM on its two-wire bus, driven register by register.
#include "sim_fixture.h"

#include <cstring>
#include <numeric>

namespace simtest {
namespace {

using ortav::clock::advance;

class EepromTest : public SimTest {
protected:
    std::vector<uint8_t> &cells() { return module().eeprom(); }
};

TEST_F(EepromTest, SequentialReadGivesTheCalibrationImage) {
    open("        resistor_error: {spread: 0.004, seed: 5}\n"
         "        series: [0.41, 0.43]\n"
         "        eeprom: {image: valid, deviation: 0.0003, seed: 9}\n");
    const std::vector<uint8_t> image = eepromRead(0, 344);
    ASSERT_EQ(image.size(), 344u);
    EXPECT_EQ(image, coeffImage(module().config(), 0.0003, 9));
    EXPECT_EQ(std::vector<uint8_t>(image.begin(), image.begin() + 4),
              (std::vector<uint8_t>{0x28, 0x65, 0x76, 0x00}));
    // Stored values are as calibration measures them: resistor plus series.
    double r0 = 0, r5 = 0, series = 0;
    std::memcpy(&r0, &image[8], 8);
    std::memcpy(&r5, &image[8 + 5 * 8], 8);
    std::memcpy(&series, &image[296], 8);
    const ChannelPhysics &p = module().config().channel[0];
    EXPECT_NEAR(r0, p.resistor[0] + p.series, 0.0003 * r0);
    EXPECT_NEAR(r5, p.resistor[5] + p.series, 0.0003 * r5);
    EXPECT_DOUBLE_EQ(series, 0.41);
}

TEST_F(EepromTest, SequentialReadWrapsAtTheEndOfTheMemory) {
    open("        eeprom: {image: blank, bytes: [0x11], at: 4095}\n");
    cells()[0] = 0x22;
    EXPECT_EQ(eepromRead(4095, 2), (std::vector<uint8_t>{0x11, 0x22}));
}

TEST_F(EepromTest, PageWriteWrapsInsideThePageAndTakesItsWriteCycle) {
    open("        eeprom: blank\n");
    out(reg::Wp, 0);
    std::vector<uint8_t> bytes(34);
    std::iota(bytes.begin(), bytes.end(), 0x40);
    // Starts 30 bytes into the page 0x20..0x3F: 2 bytes to its end, then wraps.
    ASSERT_TRUE(eepromWritePage(0x3E, bytes));
    EXPECT_EQ(cells()[0x40], 0xFF) << "nothing crosses into the next page";
    EXPECT_EQ(cells()[0x3E], 0x40 + 32);
    EXPECT_EQ(cells()[0x3F], 0x40 + 33);
    for (int i = 0; i < 30; ++i)
        ASSERT_EQ(cells()[0x20 + i], 0x40 + 2 + i) << i;
    EXPECT_TRUE(module().eepromBusy());

    // During the internal write the device does not answer its address.
    i2cStart();
    EXPECT_FALSE(writeByte(0xAE));
    i2cStop();
    advance(0.004);
    i2cStart();
    EXPECT_FALSE(writeByte(0xAF));
    i2cStop();
    advance(0.001);
    i2cStart();
    EXPECT_TRUE(writeByte(0xAE));
    i2cStop();
    EXPECT_EQ(eepromRead(0x3E, 2), (std::vector<uint8_t>{0x40 + 32, 0x40 + 33}));
}

TEST_F(EepromTest, WholeImageWrittenPageByPageWithItsWaitsReadsBack) {
    open("        eeprom: blank\n");
    std::vector<uint8_t> image(344);
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<uint8_t>(i * 7 + 3);
    out(reg::Wp, 0);
    for (size_t page = 0; page * 32 < image.size(); ++page) {
        const size_t from = page * 32, to = std::min(from + 32, image.size());
        ASSERT_TRUE(eepromWritePage(static_cast<uint16_t>(from),
                                    std::vector<uint8_t>(image.begin() + from, image.begin() + to)))
            << "page " << page;
        Delay(0.005);
    }
    out(reg::Wp, 1);
    EXPECT_EQ(eepromRead(0, 344), image);
    EXPECT_EQ(cells()[344], 0xFF);

    // Without the wait the next page is refused at its device address.
    out(reg::Wp, 0);
    ASSERT_TRUE(eepromWritePage(0, {1}));
    EXPECT_FALSE(eepromWritePage(32, {2}));
}

TEST_F(EepromTest, DataReachesTheCellsOnlyAtTheStop) {
    open("        eeprom: blank\n");
    out(reg::Wp, 0);
    i2cStart();
    ASSERT_TRUE(writeByte(0xAE) && writeByte(0) && writeByte(0x10) && writeByte(0x5A));
    EXPECT_EQ(cells()[0x10], 0xFF);
    i2cStart(); // a new start abandons the page
    ASSERT_TRUE(writeByte(0xAF));
    readByte(true);
    i2cStop();
    EXPECT_EQ(cells()[0x10], 0xFF);
    EXPECT_FALSE(module().eepromBusy());
}

TEST_F(EepromTest, WriteProtection) {
    struct Case {
        const char *name;
        const char *yaml;
        uint16_t wp;
        bool written;
    } cases[] = {
        {"protected", "        eeprom: blank\n", 1, false},
        {"unprotected", "        eeprom: blank\n", 0, true},
        {"protection ignored", "        eeprom: blank\n        faults: {eeprom_wp_ignored: true}\n",
         1, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        open(c.yaml);
        out(reg::Wp, c.wp);
        // A protected device acknowledges but starts no write cycle.
        EXPECT_TRUE(eepromWritePage(0, {1, 2, 3}));
        EXPECT_EQ(module().eepromBusy(), c.written);
        EXPECT_EQ(cells()[2], c.written ? 3 : 0xFF);
        TearDown();
        mod = car = 0;
    }
}

TEST_F(EepromTest, ContentsAndPresenceFromTheBench) {
    open("        eeprom: corrupt\n");
    std::vector<uint8_t> image = eepromRead(0, 16);
    EXPECT_EQ(std::vector<uint8_t>(image.begin(), image.begin() + 4),
              (std::vector<uint8_t>{0x28, 0x65, 0x76, 0x00}));
    EXPECT_EQ(image[8], 0xA5);
    TearDown();

    open("        eeprom: absent\n");
    i2cStart();
    EXPECT_FALSE(writeByte(0xAE));
    i2cStop();
    // Another device address is not this device's either.
    TearDown();
    open();
    i2cStart();
    EXPECT_FALSE(writeByte(0xA0));
    i2cStop();
    i2cStart();
    EXPECT_TRUE(writeByte(0xAE));
    i2cStop();
}

TEST_F(EepromTest, DataLineStuckLowSilencesTheBus) {
    open("        faults: {stuck: [{register: 0x06, mask: 0x0004, level: 0}]}\n");
    i2cStart();
    // The master reads its own stuck line as an acknowledge of everything.
    EXPECT_TRUE(writeByte(0xAE));
    i2cStop();
    EXPECT_EQ(in(reg::Sda)&4, 0);
}

} // namespace
} // namespace simtest
