// The module's serial EEPROM on its two-wire bus, driven bit by bit. Internal to
// the bench library.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace ortav::sim {

class I2cEeprom {
public:
    // memory: the device's cells (kEepromSize bytes), owned by the module.
    // writeProtected: level of the WP pin at the moment a write cycle would start.
    I2cEeprom(std::vector<uint8_t> &memory, std::function<bool()> writeProtected);

    bool present = true;    // an absent device never acknowledges
    bool wpIgnored = false; // fault: writes even when protected

    // The master's lines changed: clock level and the master's data level
    // (true = released). Call after every change of either.
    void bus(bool scl, bool sdaMaster);
    // Level of the data line: the master's level, pulled low by the device.
    bool sdaLine() const { return sdaMaster_ && !pull_; }
    bool busy() const; // internal write cycle running
    // Bus logic back to idle (the write cycle in progress still completes).
    void resetBus();

private:
    enum class State { Idle, DeviceAddr, AddrHi, AddrLo, WriteData, ReadData, Ignore };

    void start();
    void stop();
    void rising(bool line);
    void falling();
    bool receiveByte(uint8_t byte); // true: acknowledge
    void loadReadBit();

    std::vector<uint8_t> &mem_;
    std::function<bool()> wp_;
    State state_ = State::Idle;
    bool scl_ = true;
    bool sdaMaster_ = true;
    bool pull_ = false;
    int bit_ = 0;          // clock pulses of the current byte
    bool ackSlot_ = false; // receiving: the device is driving its acknowledge
    bool next_ = false;    // receiving: after the acknowledge, enter the state in nextState_
    State nextState_ = State::Idle;
    uint8_t shift_ = 0;
    uint8_t readByte_ = 0;
    bool masterAck_ = false;
    uint16_t addr_ = 0;
    uint16_t hi_ = 0;
    // Page being written: the data bytes land in the page buffer, wrapping inside
    // the page, and reach the cells only at the stop condition.
    uint16_t pageBase_ = 0;
    uint16_t pageOffset_ = 0;
    std::array<int, 32> page_{}; // -1: untouched
    int received_ = 0;
    double busyUntil_ = -1.0;
};

} // namespace ortav::sim
