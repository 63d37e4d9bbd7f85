// A module session opened on the recording fake carrier, on virtual time.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "delay.h"
#include "fake_carrier.h"
#include "internal.h"
#include "ortav.h"

namespace drvtest {

using fake::Call;
using fake::Event;

// A register access as a test writes it down.
struct Access {
    bool write;
    std::uint32_t offset;
    std::uint16_t value;
    bool operator==(const Access &) const = default;
};
inline Access R(std::uint32_t offset, std::uint16_t value) {
    return {false, offset, value};
}
inline Access W(std::uint32_t offset, std::uint16_t value) {
    return {true, offset, value};
}

inline std::ostream &operator<<(std::ostream &os, const Access &a) {
    return os << (a.write ? "W(0x" : "R(0x") << std::hex << a.offset << ", 0x" << a.value
              << std::dec << ")";
}

inline std::vector<Access> accesses() {
    std::vector<Access> out;
    for (const Event &e : fake::registerAccesses())
        out.push_back({e.call == Call::Out, e.offset, static_cast<std::uint16_t>(e.value)});
    return out;
}

inline std::vector<Access> writes() {
    std::vector<Access> out;
    for (const Access &a : accesses())
        if (a.write)
            out.push_back(a);
    return out;
}

inline double sum(const std::vector<double> &v) {
    double s = 0;
    for (double x : v)
        s += x;
    return s;
}

inline DeviceData *recordOf(ViSession vi) {
    ViAttrState v = 0;
    if (carrik_m_get_attribute(vi, ATTR_MODULE_DATA, &v) < 0)
        return nullptr;
    return reinterpret_cast<DeviceData *>(static_cast<std::uintptr_t>(v));
}

class FakeTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake::reset();
        ortav::clock::setVirtual(true);
    }
    void TearDown() override {
        if (vi) {
            fake::carrier().fault = nullptr;
            rec->fault = 0;
            ortav_close(vi);
        }
    }

    // Opens a session. The fake has no EEPROM image, so the open warns and the
    // record holds nominal coefficients; the test then sees a clean session and
    // an empty record of calls.
    void open() {
        ASSERT_EQ(ortav_init(1, 1, 1, 1, &vi), ORTAV_WARN_INIT);
        rec = recordOf(vi);
        ASSERT_NE(rec, nullptr);
        ASSERT_EQ(rec->initStatus, ORTAV_ERROR_COEFF);
        rec->initStatus = 0;
        clearRecord();
    }
    void clearRecord() {
        fake::carrier().log.clear();
        ortav::clock::clearWaits();
    }
    // Fails every access of kind `call` to `offset` with `status`.
    void failOn(Call call, std::uint32_t offset, ViStatus status = VI_ERROR_IO) {
        fake::carrier().fault = [=](const Event &e) {
            return e.call == call && e.offset == offset ? status : VI_SUCCESS;
        };
    }
    // Fails the n-th (from 1) access of kind `call` to `offset`.
    void failNth(Call call, std::uint32_t offset, int n, ViStatus status = VI_ERROR_IO) {
        auto count = std::make_shared<int>(0);
        fake::carrier().fault = [=](const Event &e) {
            if (e.call == call && e.offset == offset && ++*count == n)
                return status;
            return VI_SUCCESS;
        };
    }

    ViSession vi = 0;
    DeviceData *rec = nullptr;
};

} // namespace drvtest
