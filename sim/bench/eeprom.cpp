#include "eeprom.h"

#include "bench.h"
#include "delay.h"

namespace ortav::sim {

namespace {
constexpr uint8_t kDeviceSelect = 0xAE >> 1; // 1010 111x: address pins A2..A0 tied high
}

I2cEeprom::I2cEeprom(std::vector<uint8_t> &memory, std::function<bool()> writeProtected)
    : mem_(memory), wp_(std::move(writeProtected)) {
    page_.fill(-1);
}

bool I2cEeprom::busy() const {
    return busyUntil_ >= 0 && clock::now() < busyUntil_ - 1e-9;
}

void I2cEeprom::resetBus() {
    state_ = State::Idle;
    pull_ = false;
    scl_ = true;
    sdaMaster_ = true;
    bit_ = 0;
    ackSlot_ = false;
    received_ = 0;
}

void I2cEeprom::bus(bool scl, bool sdaMaster) {
    const bool oldLine = sdaLine();
    const bool oldScl = scl_;
    scl_ = scl;
    sdaMaster_ = sdaMaster;
    const bool line = sdaLine();
    if (oldScl && scl) {
        // Data changing while the clock is high: start or stop condition.
        if (oldLine && !line)
            start();
        else if (!oldLine && line)
            stop();
    } else if (!oldScl && scl) {
        rising(line);
    } else if (oldScl && !scl) {
        falling();
    }
}

void I2cEeprom::start() {
    // A start without a stop abandons a page being written.
    state_ = State::DeviceAddr;
    bit_ = 0;
    ackSlot_ = false;
    next_ = false;
    pull_ = false;
    received_ = 0;
    page_.fill(-1);
}

void I2cEeprom::stop() {
    const bool writing = state_ == State::WriteData && received_ > 0;
    state_ = State::Idle;
    pull_ = false;
    bit_ = 0;
    ackSlot_ = false;
    if (!writing)
        return;
    if (wp_() && !wpIgnored) {
        page_.fill(-1);
        return; // protected: no write cycle, the device is ready at once
    }
    for (int i = 0; i < kEepromPage; ++i)
        if (page_[i] >= 0)
            mem_[(pageBase_ + i) % kEepromSize] = static_cast<uint8_t>(page_[i]);
    page_.fill(-1);
    addr_ = static_cast<uint16_t>(pageBase_ + pageOffset_);
    busyUntil_ = clock::now() + kEepromWriteCycle;
}

void I2cEeprom::rising(bool line) {
    switch (state_) {
    case State::Idle:
    case State::Ignore:
        return;
    case State::ReadData:
        if (bit_ < 8) {
            ++bit_;
        } else if (bit_ == 8) {
            ++bit_;
            masterAck_ = !line; // the master's acknowledge slot
            if (!masterAck_)
                state_ = State::Ignore;
        }
        return;
    default:
        if (!ackSlot_ && bit_ < 8) {
            shift_ = static_cast<uint8_t>((shift_ << 1) | (line ? 1 : 0));
            ++bit_;
        }
        return;
    }
}

void I2cEeprom::falling() {
    switch (state_) {
    case State::Idle:
    case State::Ignore:
        pull_ = false;
        return;
    case State::ReadData:
        if (bit_ < 8) {
            loadReadBit();
        } else if (bit_ == 8) {
            pull_ = false; // the master acknowledges
        } else if (masterAck_) {
            addr_ = static_cast<uint16_t>((addr_ + 1) % kEepromSize);
            readByte_ = mem_[addr_];
            bit_ = 0;
            loadReadBit();
        }
        return;
    default:
        if (ackSlot_) {
            // End of the acknowledge clock: release the line, go on.
            ackSlot_ = false;
            pull_ = false;
            bit_ = 0;
            if (next_) {
                state_ = nextState_;
                if (state_ == State::ReadData) {
                    readByte_ = mem_[addr_];
                    loadReadBit();
                }
            } else {
                state_ = State::Ignore;
            }
        } else if (bit_ == 8) {
            ackSlot_ = true;
            next_ = receiveByte(shift_);
            pull_ = next_;
        }
        return;
    }
}

void I2cEeprom::loadReadBit() {
    pull_ = !((readByte_ >> (7 - bit_)) & 1);
}

bool I2cEeprom::receiveByte(uint8_t byte) {
    switch (state_) {
    case State::DeviceAddr:
        if (!present || (byte >> 1) != kDeviceSelect || busy())
            return false;
        nextState_ = (byte & 1) ? State::ReadData : State::AddrHi;
        return true;
    case State::AddrHi:
        hi_ = byte;
        nextState_ = State::AddrLo;
        return true;
    case State::AddrLo:
        addr_ = static_cast<uint16_t>(((hi_ << 8) | byte) % kEepromSize);
        pageBase_ = static_cast<uint16_t>(addr_ - addr_ % kEepromPage);
        pageOffset_ = static_cast<uint16_t>(addr_ % kEepromPage);
        received_ = 0;
        page_.fill(-1);
        nextState_ = State::WriteData;
        return true;
    case State::WriteData:
        page_[pageOffset_] = byte;
        pageOffset_ = static_cast<uint16_t>((pageOffset_ + 1) % kEepromPage); // wraps in the page
        ++received_;
        nextState_ = State::WriteData;
        return true;
    default:
        return false;
    }
}

} // namespace ortav::sim
