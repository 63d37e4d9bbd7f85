// The EEPROM bus on the recording fake: exact register sequences of the bus
// operations, the page writes and their waits, the coefficient check.
#include <cmath>
#include <cstring>
#include <memory>

#include "fake_fixture.h"

using namespace drvtest;
namespace drv = ortav::driver;

namespace {

// The sequences the bus operations must produce, written out register by register.
void start(std::vector<Access> &v) {
    v.insert(v.end(), {W(0x08, 2), W(0x06, 4), W(0x06, 0)});
}
void stop(std::vector<Access> &v) {
    v.insert(v.end(), {W(0x06, 0), W(0x08, 2), W(0x06, 4)});
}
void clockBit(std::vector<Access> &v, std::uint16_t level) {
    v.insert(v.end(), {W(0x08, 0), W(0x06, level), W(0x08, 2)});
}
void writeByte(std::vector<Access> &v, std::uint8_t byte) {
    for (int i = 7; i >= 0; --i)
        clockBit(v, (byte >> i) & 1 ? 4 : 0);
    clockBit(v, 4);
    v.push_back(R(0x06, 0)); // acknowledged
    v.push_back(W(0x08, 0));
}
void readByte(std::vector<Access> &v, std::uint8_t byte, bool last) {
    for (int i = 7; i >= 0; --i) {
        clockBit(v, 4);
        v.push_back(R(0x06, (byte >> i) & 1 ? 4 : 0));
    }
    clockBit(v, last ? 4 : 0);
}

// Serves `image` from the fake's data line the way an EEPROM answers the
// driver's read: acknowledges the four address bytes, then sends the bits.
void serve(std::vector<std::uint8_t> image) {
    auto reads = std::make_shared<std::size_t>(0);
    fake::carrier().readValue = [image, reads](std::uint32_t off, std::uint16_t v) {
        if (off != 0x06)
            return v;
        std::size_t n = (*reads)++;
        if (n < 4)
            return std::uint16_t(0);
        std::size_t bit = n - 4;
        if (bit / 8 >= image.size())
            return std::uint16_t(4);
        return std::uint16_t((image[bit / 8] >> (7 - bit % 8)) & 1 ? 4 : 0);
    };
}

std::vector<std::uint8_t> bytesOf(const CoeffImage &c) {
    std::vector<std::uint8_t> v(sizeof c);
    std::memcpy(v.data(), &c, sizeof c);
    return v;
}

CoeffImage nominalImage() {
    DeviceData d{};
    drv::flashCoeff(&d, 0);
    d.coeff.signature = ORTAV_COEFF_SIGNATURE;
    d.coeff.reserved = 0x01020304;
    d.coeff.r0[0] = 0.5;
    d.coeff.r0[1] = 0.25;
    return d.coeff;
}

TEST_F(FakeTest, BusOperations) {
    open();
    std::vector<Access> expected;
    ASSERT_EQ(drv::i2cStart(vi), VI_SUCCESS);
    start(expected);
    ASSERT_EQ(drv::i2cStop(vi), VI_SUCCESS);
    stop(expected);
    ASSERT_EQ(drv::i2cClockBit(vi, 4), VI_SUCCESS);
    clockBit(expected, 4);
    ASSERT_EQ(drv::i2cWriteByte(vi, 0xA5), VI_SUCCESS);
    writeByte(expected, 0xA5);
    EXPECT_EQ(accesses(), expected);

    // No acknowledge: the byte ends at the read, with the coefficient error.
    clearRecord();
    fake::carrier().readValue = [](std::uint32_t off, std::uint16_t v) {
        return off == 0x06 ? std::uint16_t(0xFFFF) : v;
    };
    EXPECT_EQ(drv::i2cWriteByte(vi, 0x00), ORTAV_ERROR_COEFF);
    EXPECT_EQ(accesses().back(), R(0x06, 0xFFFF));

    // Reading shifts bits in from the right; only bit 2 of the line counts.
    clearRecord();
    const std::uint8_t pattern = 0xB4;
    auto n = std::make_shared<int>(0);
    fake::carrier().readValue = [=](std::uint32_t off, std::uint16_t v) {
        if (off != 0x06)
            return v;
        int i = (*n)++;
        return std::uint16_t((pattern >> (7 - i)) & 1 ? 0xFFFF : 0xFFFB);
    };
    std::uint8_t byte = 0;
    EXPECT_EQ(drv::i2cReadByte(vi, false, byte), VI_SUCCESS);
    EXPECT_EQ(byte, pattern);
    std::vector<Access> got = accesses();
    EXPECT_EQ(got.size(), 8u * 4 + 3);
    EXPECT_EQ(std::vector<Access>(got.end() - 3, got.end()),
              (std::vector<Access>{W(0x08, 0), W(0x06, 0), W(0x08, 2)})); // acknowledge
}

TEST_F(FakeTest, EepromReadSequence) {
    open();
    CoeffImage image = nominalImage();
    std::vector<std::uint8_t> bytes = bytesOf(image);
    serve(bytes);
    CoeffImage back{};
    ASSERT_EQ(drv::eepromRead(vi, &back, sizeof back), VI_SUCCESS);
    EXPECT_EQ(bytesOf(back), bytes);

    std::vector<Access> expected;
    start(expected);
    writeByte(expected, 0xAE);
    writeByte(expected, 0x00);
    writeByte(expected, 0x00);
    start(expected);
    writeByte(expected, 0xAF);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        readByte(expected, bytes[i], i + 1 == bytes.size()); // 344th not acknowledged
    stop(expected);
    EXPECT_EQ(accesses(), expected);
    EXPECT_TRUE(ortav::clock::waits().empty());

    EXPECT_EQ(drv::eepromRead(0, &back, sizeof back), VI_ERROR_INV_OBJECT);
}

TEST_F(FakeTest, EepromWriteElevenPages) {
    open();
    CoeffImage image = nominalImage();
    std::vector<std::uint8_t> bytes = bytesOf(image);
    ASSERT_EQ(drv::eepromWrite(vi, &image, sizeof image), VI_SUCCESS);

    std::vector<Access> expected{W(0x12, 0)};
    std::vector<std::size_t> stopEnds; // index of the last access of each page
    for (std::size_t p = 0; p < 11; ++p) {
        start(expected);
        writeByte(expected, 0xAE);
        writeByte(expected, static_cast<std::uint8_t>((p * 32) >> 8));
        writeByte(expected, static_cast<std::uint8_t>((p * 32) & 0xFF));
        for (std::size_t i = p * 32; i < std::min<std::size_t>(p * 32 + 32, bytes.size()); ++i)
            writeByte(expected, bytes[i]);
        stop(expected);
        stopEnds.push_back(expected.size() - 1);
    }
    expected.push_back(W(0x12, 1));
    EXPECT_EQ(accesses(), expected);
    // The last page carries 24 data bytes after its 3 header bytes.
    std::size_t lastPageBytes = (stopEnds[10] - stopEnds[9] - 3 - 3) / 29 - 3;
    EXPECT_EQ(lastPageBytes, 24u);

    // 5 ms after each page's stop, before anything else.
    std::vector<Event> log = fake::registerAccesses();
    for (std::size_t p = 0; p < 11; ++p)
        EXPECT_DOUBLE_EQ(log[stopEnds[p] + 1].time - log[stopEnds[p]].time, 0.005) << p;
    EXPECT_EQ(ortav::clock::waits(), std::vector<double>(11, 0.005));
}

TEST_F(FakeTest, EepromWriteFailuresRestoreProtection) {
    open();
    CoeffImage image = nominalImage();
    // No acknowledge on the first data byte of page 2: the write stops there.
    auto reads = std::make_shared<int>(0);
    const int ackReadsBefore = 2 * (3 + 32) + 3; // pages 0 and 1, page 2's header
    fake::carrier().readValue = [=](std::uint32_t off, std::uint16_t v) {
        if (off != 0x06)
            return v;
        return std::uint16_t(++*reads == ackReadsBefore + 1 ? 4 : 0);
    };
    EXPECT_EQ(drv::eepromWrite(vi, &image, sizeof image), ORTAV_ERROR_COEFF);
    EXPECT_EQ(accesses().back(), W(0x12, 1));
    EXPECT_EQ(ortav::clock::waits(), std::vector<double>(2, 0.005));
    EXPECT_EQ(fake::carrier().regs[0x12], 1);

    // Lifting the protection fails: nothing is written, protection is set again.
    fake::carrier().readValue = nullptr;
    clearRecord();
    failNth(Call::Out, 0x12, 1, VI_ERROR_TMO);
    EXPECT_EQ(drv::eepromWrite(vi, &image, sizeof image), VI_ERROR_TMO);
    EXPECT_EQ(accesses(), (std::vector<Access>{W(0x12, 0), W(0x12, 1)}));

    // A failed stop ends the write too, rather than being hidden by later pages.
    clearRecord();
    failNth(Call::Out, 0x06, 2 + 35 * 9 + 1, VI_ERROR_TMO); // first write of page 0's stop
    EXPECT_EQ(drv::eepromWrite(vi, &image, sizeof image), VI_ERROR_TMO);
    EXPECT_EQ(accesses().back(), W(0x12, 1));
    EXPECT_TRUE(ortav::clock::waits().empty());
}

struct CoeffCase {
    const char *what;
    void (*edit)(CoeffImage &);
    ViInt32 expected;
};

TEST(FlashCoeff, PlausibilityLimits) {
    const CoeffCase cases[] = {
        {"nominal", [](CoeffImage &) {}, 0},
        {"R +20%", [](CoeffImage &c) { c.R[0][0] = 18.75 * 1.2; }, 0},
        {"R -20%", [](CoeffImage &c) { c.R[1][17] = 2457600.0 * 0.8; }, 0},
        {"R +21%", [](CoeffImage &c) { c.R[0][5] = 600.0 * 1.21; }, -1},
        {"R -21% ch2", [](CoeffImage &c) { c.R[1][9] = 9600.0 * 0.79; }, -1},
        {"R NaN", [](CoeffImage &c) { c.R[1][3] = std::nan(""); }, -1},
        {"R inf", [](CoeffImage &c) { c.R[0][3] = INFINITY; }, -1},
        {"gain -20%", [](CoeffImage &c) { c.iGain[0] = 327520.0; }, 0},
        {"gain +20%", [](CoeffImage &c) { c.iGain[1] = 491280.0; }, 0},
        {"gain -21%", [](CoeffImage &c) { c.iGain[1] = 323426.0; }, -1},
        {"gain NaN", [](CoeffImage &c) { c.iGain[0] = std::nan(""); }, -1},
        {"offset 16", [](CoeffImage &c) { c.iOffset[0] = 16.0; }, 0},
        {"offset -16", [](CoeffImage &c) { c.iOffset[1] = -16.0; }, 0},
        {"offset 16.5", [](CoeffImage &c) { c.iOffset[0] = 16.5; }, -1},
        {"offset NaN", [](CoeffImage &c) { c.iOffset[1] = std::nan(""); }, -1},
        {"r0 not checked", [](CoeffImage &c) { c.r0[0] = std::nan(""); }, 0},
        {"signature not checked", [](CoeffImage &c) { c.signature = 0; }, 0},
    };
    for (const CoeffCase &c : cases) {
        DeviceData d{};
        drv::flashCoeff(&d, 0);
        c.edit(d.coeff);
        EXPECT_EQ(drv::flashCoeff(&d, 1), c.expected) << c.what;
    }
}

TEST(FlashCoeff, NominalLoadKeepsTheRest) {
    DeviceData d{};
    std::memset(&d.coeff, 0xFF, sizeof d.coeff);
    d.coeff.signature = 0x1234;
    d.coeff.r0[1] = 0.7;
    EXPECT_EQ(drv::flashCoeff(&d, 0), 0);
    EXPECT_EQ(d.coeff.signature, 0x1234);
    EXPECT_EQ(d.coeff.reserved, -1);
    EXPECT_EQ(d.coeff.r0[1], 0.7);
    for (int c = 0; c < 2; ++c) {
        for (int k = 0; k < 18; ++k)
            EXPECT_EQ(d.coeff.R[c][k], 18.75 * std::pow(2.0, k));
        EXPECT_EQ(d.coeff.iGain[c], 409400.0);
        EXPECT_EQ(d.coeff.iOffset[c], 0.0);
    }
}

TEST_F(FakeTest, WriteFlashRefusesImplausibleImages) {
    open();
    EXPECT_EQ(ortav_writeFlash(nullptr), VI_ERROR_INV_SETUP);
    rec->coeff.signature = 0;
    rec->coeff.iOffset[1] = 17.0;
    EXPECT_EQ(ortav_writeFlash(rec), ORTAV_ERROR_COEFF);
    EXPECT_EQ(rec->coeff.signature, 0);
    EXPECT_TRUE(accesses().empty());

    rec->coeff.iOffset[1] = 1.0;
    EXPECT_EQ(ortav_writeFlash(rec), VI_SUCCESS);
    EXPECT_EQ(rec->coeff.signature, ORTAV_COEFF_SIGNATURE);
    EXPECT_EQ(writes().front(), W(0x12, 0));
    EXPECT_EQ(writes().back(), W(0x12, 1));
}

TEST_F(FakeTest, ReadFlash) {
    open();
    EXPECT_EQ(ortav_readFlash(nullptr), VI_ERROR_INV_SETUP);
    CoeffImage image = nominalImage();
    image.R[1][2] = 76.0;
    serve(bytesOf(image));
    EXPECT_EQ(ortav_readFlash(rec), VI_SUCCESS);
    EXPECT_EQ(bytesOf(rec->coeff), bytesOf(image));

    // Unsigned, implausible, or unreadable: the record keeps what it had.
    const CoeffImage held = rec->coeff;
    CoeffImage unsigned_ = image;
    unsigned_.signature = 0x00766529;
    CoeffImage off = image;
    off.R[0][4] = 300.0 * 1.21;
    std::vector<std::uint8_t> blank(344, 0xFF);
    struct Case {
        const char *what;
        std::vector<std::uint8_t> bytes;
    };
    for (const Case &c : {Case{"signature", bytesOf(unsigned_)}, Case{"21 % off", bytesOf(off)},
                          Case{"blank", blank}}) {
        serve(c.bytes);
        EXPECT_EQ(ortav_readFlash(rec), ORTAV_ERROR_COEFF) << c.what;
        EXPECT_EQ(bytesOf(rec->coeff), bytesOf(held)) << c.what;
    }
    fake::carrier().readValue = nullptr;
    failNth(Call::In, 0x06, 100, VI_ERROR_TMO);
    EXPECT_EQ(ortav_readFlash(rec), VI_ERROR_TMO);
    EXPECT_EQ(bytesOf(rec->coeff), bytesOf(held));
}

} // namespace
