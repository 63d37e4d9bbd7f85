// The simulated multimeter drivers at their own interface.
#include "bench.h"
#include "delay.h"
#include "drivers.h"
#include "meter.h"
#include "visa.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using namespace ortav::sim;

const char *kBench = R"(
name: meters
resources:
  - {name: VXI0::8::INSTR, slot: 2, manufacturer: 0xC5B, model: 0x10D}
  - {name: VXI0::24::INSTR}
  - {name: VXI0::32::INSTR}
  - {name: VXI0::40::INSTR}
  - {name: VXI0::48::INSTR, faults: {open_fails: true}}
  - {name: VXI0::56::INSTR, faults: {locked: forever}}
  - {name: GPIB0::22::INSTR}
carriers:
  - resource: VXI0::8::INSTR
    positions: {1: {type: ortav, series: 0.5}, 3: 32}
multimeters:
  - {kind: hpe1412, resource: VXI0::24::INSTR}
  - {kind: mervd, resource: VXI0::32::INSTR, leads: {resistance: 250.0, voltage: 1.5}}
  - {kind: sulvat, resource: VXI0::40::INSTR, leads: {resistance: 1000.0, voltage: 2.0}}
  - {kind: hpe1412, resource: VXI0::48::INSTR}
  - {kind: hpe1412, resource: VXI0::56::INSTR}
  - {kind: tarnel, resource: VXI0::8::INSTR, position: 3, leads: {resistance: 50.0}}
  - {kind: hp3458a, resource: GPIB0::22::INSTR, leads: open}
)";

class Meters : public ::testing::Test {
protected:
    void SetUp() override {
        ortav::clock::setVirtual(true);
        loadString(kBench, "meters.yaml");
    }
    static std::string text(ViStatus st) {
        ViChar buf[256];
        hpe1412_error_message(VI_NULL, st, buf);
        return buf;
    }
};

TEST_F(Meters, InitFindsTheMultimeterTheBenchPlacesThere) {
    struct Case {
        const char *resource;
        ViStatus status;
    } cases[] = {
        {"VXI0::24::INSTR", VI_SUCCESS},
        {"vxi0::24::instr", VI_SUCCESS},
        {"VXI0::32::INSTR", VI_ERROR_FAIL_ID_QUERY}, // a DMM, not an HP E1412
        {"VXI0::99::INSTR", VI_ERROR_RSRC_NFOUND},
        {"VXI0::48::INSTR", VI_ERROR_RSRC_NFOUND},
        {"VXI0::56::INSTR", VI_ERROR_RSRC_LOCKED},
    };
    for (const Case &c : cases) {
        ViSession vi = 12345;
        EXPECT_EQ(hpe1412_init(c.resource, 1, 1, &vi), c.status) << c.resource;
        EXPECT_EQ(vi != VI_NULL, c.status == VI_SUCCESS) << c.resource;
        if (vi) {
            EXPECT_EQ(hpe1412_close(vi), VI_SUCCESS);
        }
    }
}

TEST_F(Meters, ErrorMessageTakesANullSessionAndFitsIn256Bytes) {
    const ViStatus statuses[] = {VI_SUCCESS,
                                 DMM_ERROR_OVERLOAD,
                                 DMM_ERROR_NO_FUNCTION,
                                 DMM_ERROR_NOT_CONNECTED,
                                 DMM_ERROR_STALE,
                                 DMM_ERROR_NOT_INITIATED,
                                 DMM_ERROR_NO_MEZZANINE,
                                 DMM_WARN_RANGE_LIMITED,
                                 VI_ERROR_TMO,
                                 VI_ERROR_PARAMETER3,
                                 static_cast<ViStatus>(0xBFFC0FFF)};
    for (ViStatus st : statuses) {
        char buf[300];
        std::memset(buf, '#', sizeof buf);
        tarnel_error_message(VI_NULL, st, buf);
        const size_t n = strnlen(buf, 256);
        EXPECT_LT(n, 256u);
        EXPECT_GT(n, 0u);
        EXPECT_EQ(buf[256], '#'); // nothing written past the 256 bytes
    }
    char buf[256];
    EXPECT_EQ(sulvat_error_message(VI_NULL, 0xBFFC0FFF, buf), VI_WARN_UNKNOWN_STATUS);
    EXPECT_STREQ(buf, "Неизвестный код состояния 0xBFFC0FFF");
    EXPECT_EQ(text(VI_ERROR_PARAMETER3), "Недопустимое значение параметра 3");
}

TEST_F(Meters, HpE1412FetchesWhatItWasTriggeredFor) {
    ViSession vi = 0;
    ASSERT_EQ(hpe1412_init("VXI0::24::INSTR", 1, 1, &vi), VI_SUCCESS);
    double r[3] = {};
    ViInt32 n = -1;
    EXPECT_EQ(hpe1412_timedFetch_Q(vi, 10000, r, &n), DMM_ERROR_NOT_INITIATED);
    EXPECT_EQ(hpe1412_func(vi, 3), VI_ERROR_PARAMETER2);

    // Nothing switched on: 0 V, read twice at 100 power-line cycles each.
    ASSERT_EQ(hpe1412_func(vi, 5), VI_SUCCESS);
    ASSERT_EQ(hpe1412_voltDcNplc(vi, 100.0), VI_SUCCESS);
    ASSERT_EQ(hpe1412_trigCoun(vi, 2), VI_SUCCESS);
    ASSERT_EQ(hpe1412_initImm(vi), VI_SUCCESS);
    ortav::clock::clearWaits();
    EXPECT_EQ(hpe1412_timedFetch_Q(vi, 10000, r, &n), VI_SUCCESS);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(r[0], 0.0);
    EXPECT_EQ(ortav::clock::waits(), (std::vector<double>{2.0, 2.0}));

    // Readings that cannot finish within the time-out.
    ASSERT_EQ(hpe1412_initImm(vi), VI_SUCCESS);
    ortav::clock::clearWaits();
    EXPECT_EQ(hpe1412_timedFetch_Q(vi, 3000, r, &n), VI_ERROR_TMO);
    EXPECT_EQ(ortav::clock::waits(), std::vector<double>{3.0});

    // Open leads in four-wire resistance: over range.
    ASSERT_EQ(hpe1412_func(vi, 2), VI_SUCCESS);
    ASSERT_EQ(hpe1412_trigCoun(vi, 1), VI_SUCCESS);
    ASSERT_EQ(hpe1412_initImm(vi), VI_SUCCESS);
    EXPECT_EQ(hpe1412_timedFetch_Q(vi, 10000, r, &n), DMM_ERROR_OVERLOAD);
    EXPECT_EQ(r[0], 9.9e37);
    EXPECT_EQ(hpe1412_close(vi), VI_SUCCESS);
}

TEST_F(Meters, RangesRoundUpAndWarnAboveTheLargest) {
    ViSession vi = 0;
    ASSERT_EQ(mervd_init("VXI0::32::INSTR", 1, 1, &vi), VI_SUCCESS);
    double r = 0;
    // 250 ohms: a 1 kohm range (from 300), over range on 100.
    EXPECT_EQ(mervd_fresRang(vi, 0, 300.0), VI_SUCCESS);
    EXPECT_EQ(mervd_measure_Q(vi, 2, &r), VI_SUCCESS);
    EXPECT_EQ(r, 250.0);
    EXPECT_EQ(mervd_fresRang(vi, 0, 100.0), VI_SUCCESS);
    EXPECT_EQ(mervd_measure_Q(vi, 2, &r), DMM_ERROR_OVERLOAD);
    EXPECT_EQ(mervd_fresRang(vi, 0, 1e9), DMM_WARN_RANGE_LIMITED);
    EXPECT_EQ(mervd_measure_Q(vi, 2, &r), VI_SUCCESS);
    EXPECT_EQ(mervd_fresRang(vi, 0, 0.0), VI_ERROR_PARAMETER3);
    EXPECT_EQ(mervd_measure_Q(vi, 5, &r), VI_SUCCESS);
    EXPECT_EQ(r, 1.5);
    EXPECT_EQ(mervd_measure_Q(vi, 7, &r), VI_SUCCESS);
    EXPECT_DOUBLE_EQ(r, 1.5 / 250.0);
    EXPECT_EQ(mervd_measure_Q(vi, 9, &r), VI_ERROR_PARAMETER2);
    EXPECT_EQ(mervd_close(vi), VI_SUCCESS);
}

TEST_F(Meters, MakersMetersReadOnlyTheConfiguredFunction) {
    ViSession vi = 0;
    ASSERT_EQ(sulvat_init("VXI0::40::INSTR", 1, 1, &vi), VI_SUCCESS);
    double r[2] = {};
    ViInt32 n = -1;
    EXPECT_EQ(sulvat_read_Q(vi, &n, r), DMM_ERROR_NO_FUNCTION);
    ASSERT_EQ(sulvat_configure(vi, 2), VI_SUCCESS);
    EXPECT_EQ(sulvat_read_Q(vi, &n, r), VI_SUCCESS);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(r[0], 1000.0);
    // A trigger source other than immediate never fires.
    ASSERT_EQ(sulvat_trigSour(vi, 1, 0), VI_SUCCESS);
    EXPECT_EQ(sulvat_read_Q(vi, &n, r), VI_ERROR_TMO);
    EXPECT_EQ(sulvat_close(vi), VI_SUCCESS);

    // The mezzanine meter: opened by its carrier, usable once connected.
    ASSERT_EQ(tarnel_init("VXI0::8::INSTR", 1, 1, &vi), VI_SUCCESS);
    ASSERT_EQ(tarnel_configure(vi, 2), VI_SUCCESS);
    double x = 0;
    EXPECT_EQ(tarnel_measure_Q(vi, 2, &x), DMM_ERROR_NOT_CONNECTED);
    EXPECT_EQ(tarnel_connect(vi, 0x4C00, 2, 1, 1), DMM_ERROR_NO_MEZZANINE);
    EXPECT_EQ(tarnel_connect(vi, 0x4C00, 3, 1, 1), VI_SUCCESS);
    EXPECT_EQ(tarnel_measure_Q(vi, 5, &x), DMM_ERROR_NO_FUNCTION); // configured for 2
    EXPECT_EQ(tarnel_measure_Q(vi, 2, &x), VI_SUCCESS);
    EXPECT_EQ(x, 50.0);
    EXPECT_EQ(tarnel_close(vi), VI_SUCCESS);
    EXPECT_EQ(tarnel_close(vi), VI_ERROR_INV_OBJECT);
    EXPECT_EQ(tarnel_init("VXI0::24::INSTR", 1, 1, &vi), VI_ERROR_FAIL_ID_QUERY);
}

TEST_F(Meters, SessionsEndWithTheirBench) {
    ViSession vi = 0;
    ASSERT_EQ(hp3458a_init("GPIB0::22::INSTR", 1, 1, &vi), VI_SUCCESS);
    EXPECT_EQ(hp3458a_nplc(vi, 10.0), VI_SUCCESS);
    loadString(kBench, "again.yaml");
    double r = 0;
    EXPECT_EQ(hp3458a_measure_Q(vi, 1, &r), DMM_ERROR_STALE);
    EXPECT_EQ(hp3458a_close(vi), VI_SUCCESS);
}

TEST_F(Meters, AnInstantMeterReadsWithoutIntegrating) {
    loadString(R"(
name: instant
resources: [{name: VXI0::24::INSTR}]
multimeters:
  - {kind: hpe1412, resource: VXI0::24::INSTR, instant: true, leads: {resistance: 75.0}}
)",
               "instant.yaml");
    ViSession vi = 0;
    ASSERT_EQ(hpe1412_init("VXI0::24::INSTR", 1, 1, &vi), VI_SUCCESS);
    ASSERT_EQ(hpe1412_func(vi, 2), VI_SUCCESS);
    ASSERT_EQ(hpe1412_voltDcNplc(vi, 100.0), VI_SUCCESS);
    ASSERT_EQ(hpe1412_trigCoun(vi, 2), VI_SUCCESS);
    ASSERT_EQ(hpe1412_initImm(vi), VI_SUCCESS);
    ortav::clock::clearWaits();
    double r[2] = {};
    ViInt32 n = 0;
    EXPECT_EQ(hpe1412_timedFetch_Q(vi, 10000, r, &n), VI_SUCCESS);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(r[1], 75.0);
    EXPECT_EQ(ortav::clock::waits(), (std::vector<double>{0.0, 0.0}));
    EXPECT_EQ(hpe1412_close(vi), VI_SUCCESS);

    EXPECT_THROW(
        loadString("name: x\nmultimeters: [{kind: mervd, resource: R, instant: 3}]\n", "bad.yaml"),
        BenchError);
}

TEST_F(Meters, NoiseStaysWithinThreeStandardDeviations) {
    loadString(R"(
name: noise
resources: [{name: VXI0::32::INSTR}]
multimeters:
  - {kind: mervd, resource: VXI0::32::INSTR, noise: 0.01, leads: {resistance: 200.0}}
)",
               "noise.yaml");
    ViSession vi = 0;
    ASSERT_EQ(mervd_init("VXI0::32::INSTR", 1, 1, &vi), VI_SUCCESS);
    double lo = 1e9, hi = 0;
    for (int i = 0; i < 2000; ++i) {
        double r = 0;
        ASSERT_EQ(mervd_measure_Q(vi, 2, &r), VI_SUCCESS);
        lo = std::min(lo, r);
        hi = std::max(hi, r);
    }
    EXPECT_GE(lo, 200.0 * 0.97);
    EXPECT_LE(hi, 200.0 * 1.03);
    EXPECT_LT(lo, 199.0); // and it is there
    EXPECT_GT(hi, 201.0);
    EXPECT_EQ(mervd_close(vi), VI_SUCCESS);
}

} // namespace
