// A bench built from a few lines of YAML, on virtual time, with a module opened
// through the carrier interface the way the module driver opens it.
#pragma once

#include "bench.h"
#include "carrik.h"
#include "carrik_status.h"
#include "delay.h"
#include "visa.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace simtest {

using namespace ortav::sim;

// One VXI carrier at "VXI0::8::INSTR" holding the given position 1 (YAML of a
// position mapping, indented for the place) and a type-32 mezzanine at 3.
inline std::string benchWithModule(const std::string &module) {
    return "name: test\n"
           "resources:\n"
           "  - {name: VXI0::8::INSTR, slot: 2, manufacturer: 0xC5B, model: 0x10D}\n"
           "carriers:\n"
           "  - resource: VXI0::8::INSTR\n"
           "    positions:\n"
           "      1:\n"
           "        type: ortav\n" +
           module + "      3: 32\n";
}

class SimTest : public ::testing::Test {
protected:
    void SetUp() override { ortav::clock::setVirtual(true); }
    void TearDown() override {
        if (mod)
            carrik_m_close(mod);
        if (car)
            carrik_close(car);
    }

    // Loads the bench and opens position 1 of the carrier.
    void open(const std::string &moduleYaml = "") {
        loadString(benchWithModule(moduleYaml), "test.yaml");
        ASSERT_EQ(carrik_init("VXI0::8::INSTR", 1, 1, &car), VI_SUCCESS);
        ASSERT_EQ(carrik_m_init(car, 1, &mod), VI_SUCCESS);
    }

    OrtavModule &module() { return *bench().findCarrier("VXI0::8::INSTR")->module(1); }

    uint16_t in(uint32_t offset) {
        ViUInt16 v = 0xDEAD;
        EXPECT_EQ(carrik_m_in16(mod, offset, &v), VI_SUCCESS) << "read of 0x" << std::hex << offset;
        return v;
    }
    void out(uint32_t offset, uint16_t v) {
        EXPECT_EQ(carrik_m_out16(mod, offset, v), VI_SUCCESS)
            << "write of 0x" << std::hex << offset;
    }

    // Resistor code as the driver writes it: low part, then high part.
    void writeCode(uint32_t code) {
        out(reg::CodeLo, code & 0xFFFF);
        out(reg::CodeHi, (code >> 16) & 3);
    }

    // The two-wire bus, register by register as the module driver drives it.
    void i2cStart() {
        out(reg::Scl, 2);
        out(reg::Sda, 4);
        out(reg::Sda, 0);
    }
    void i2cStop() {
        out(reg::Sda, 0);
        out(reg::Scl, 2);
        out(reg::Sda, 4);
    }
    void clockBit(uint16_t level) {
        out(reg::Scl, 0);
        out(reg::Sda, level);
        out(reg::Scl, 2);
    }
    bool readBit() { return in(reg::Sda)&4; }
    // True when the device acknowledged.
    bool writeByte(uint8_t byte) {
        for (int i = 7; i >= 0; --i)
            clockBit((byte >> i) & 1 ? 4 : 0);
        clockBit(4);
        const bool nack = readBit();
        out(reg::Scl, 0);
        return !nack;
    }
    uint8_t readByte(bool last) {
        uint8_t v = 0;
        for (int i = 0; i < 8; ++i) {
            clockBit(4);
            v = static_cast<uint8_t>(v << 1 | (readBit() ? 1 : 0));
        }
        clockBit(last ? 4 : 0);
        return v;
    }
    std::vector<uint8_t> eepromRead(uint16_t address, size_t count) {
        std::vector<uint8_t> data;
        i2cStart();
        EXPECT_TRUE(writeByte(0xAE));
        EXPECT_TRUE(writeByte(address >> 8));
        EXPECT_TRUE(writeByte(address & 0xFF));
        i2cStart();
        EXPECT_TRUE(writeByte(0xAF));
        for (size_t i = 0; i < count; ++i)
            data.push_back(readByte(i + 1 == count));
        i2cStop();
        return data;
    }
    // One page write; false at the first byte not acknowledged.
    bool eepromWritePage(uint16_t address, const std::vector<uint8_t> &bytes) {
        i2cStart();
        bool ok = writeByte(0xAE) && writeByte(address >> 8) && writeByte(address & 0xFF);
        for (size_t i = 0; ok && i < bytes.size(); ++i)
            ok = writeByte(bytes[i]);
        i2cStop();
        return ok;
    }

    ViSession car = 0;
    ViSession mod = 0;
};

} // namespace simtest
