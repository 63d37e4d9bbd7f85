// The carrier driver's sessions, positions, attributes and texts.
#include "sim_fixture.h"

#include <cstring>

namespace simtest {
namespace {

const char *kBench = R"(
name: carriers
resources:
  - {name: VXI0::8::INSTR, slot: 2, manufacturer: 0xC5B, model: 0x10D}
  - {name: VXI0::24::INSTR, slot: 4, manufacturer: 0xFFF, model: 0x243}
  - {name: USB0::0x0C5B::0x1004::K1::INSTR, idn: "KORDAVELIN,CARRIK,K1,1.0", faults: {locked: 2}}
  - {name: TCPIP0::10.0.0.5::inst0::INSTR, idn: "KORDAVELIN,CARRIK,L7", faults: {silent: true}}
  - {name: USB0::0x0C5B::0x1004::K2::INSTR, faults: {open_fails: true}}
carriers:
  - resource: VXI0::8::INSTR
    positions: {1: ortav, 3: 32}
  - resource: USB0::0x0C5B::0x1004::K1::INSTR
    positions: [empty, ortav]
  - resource: TCPIP0::10.0.0.5::inst0::INSTR
    positions: [ortav]
  - resource: USB0::0x0C5B::0x1004::K2::INSTR
    positions: [ortav]
)";

class CarrikTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        loadString(kBench, "carriers.yaml");
    }
};

TEST_F(CarrikTest, OpensCarriersAndReportsPositions) {
    ASSERT_EQ(carrik_init("vxi0::8::instr", 1, 1, &car), VI_SUCCESS);
    // The program opens the carrier of the mezzanine multimeter a second time.
    ViSession second = 0;
    ASSERT_EQ(carrik_init("VXI0::8::INSTR", 1, 1, &second), VI_SUCCESS);
    EXPECT_NE(second, car);
    const struct { ViInt16 present, model; } expected[4] = {{1, 15}, {0, 0}, {1, 32}, {0, 0}};
    for (int p = 1; p <= 4; ++p) {
        ViInt16 present = -1, model = -1;
        ASSERT_EQ(carrik_m_type_q(second, p, &present, &model), VI_SUCCESS);
        EXPECT_EQ(present, expected[p - 1].present) << p;
        EXPECT_EQ(model, expected[p - 1].model) << p;
    }
    ViInt16 present, model;
    EXPECT_EQ(carrik_m_type_q(car, 0, &present, &model), VI_ERROR_PARAMETER2);
    EXPECT_EQ(carrik_m_type_q(car, 5, &present, &model), VI_ERROR_PARAMETER2);
    EXPECT_EQ(carrik_close(second), VI_SUCCESS);
    EXPECT_EQ(carrik_close(second), VI_ERROR_INV_OBJECT);

    EXPECT_EQ(carrik_m_init(car, 2, &mod), CARRIK_ERROR_NO_MEZZANINE);
    EXPECT_EQ(mod, 0u);
    EXPECT_EQ(carrik_m_init(car, 5, &mod), VI_ERROR_PARAMETER2);
    ASSERT_EQ(carrik_m_init(car, 1, &mod), VI_SUCCESS);
    ViUInt16 id = 0;
    EXPECT_EQ(carrik_m_in16(mod, reg::Id, &id), VI_SUCCESS);
    EXPECT_EQ(id, 15);
}

TEST_F(CarrikTest, OpenFailuresFollowTheResource) {
    const struct {
        const char *resource;
        ViStatus status;
    } cases[] = {
        {"VXI0::99::INSTR", VI_ERROR_RSRC_NFOUND},
        {"VXI0::24::INSTR", VI_ERROR_FAIL_ID_QUERY}, // not a carrier
        {"USB0::0x0C5B::0x1004::K1::INSTR", VI_ERROR_RSRC_LOCKED},
        {"TCPIP0::10.0.0.5::inst0::INSTR", VI_ERROR_TMO},
        {"USB0::0x0C5B::0x1004::K2::INSTR", VI_ERROR_RSRC_NFOUND},
    };
    for (const auto &c : cases) {
        ViSession vi = 77;
        EXPECT_EQ(carrik_init(c.resource, 1, 1, &vi), c.status) << c.resource;
        EXPECT_EQ(vi, 0u) << c.resource;
    }
    EXPECT_EQ(carrik_init("VXI0::8::INSTR", 2, 1, &car), VI_ERROR_PARAMETER2);
    EXPECT_EQ(carrik_init("VXI0::8::INSTR", 1, 1, nullptr), VI_ERROR_PARAMETER4);
    // The other program lets the box go after its 2 s.
    ortav::clock::advance(2.0);
    ASSERT_EQ(carrik_init("USB0::0x0C5B::0x1004::K1::INSTR", 1, 1, &car), VI_SUCCESS);
    ViInt16 present = 0, model = 0;
    EXPECT_EQ(carrik_m_type_q(car, 2, &present, &model), VI_SUCCESS);
    EXPECT_EQ(model, 15);
}

TEST_F(CarrikTest, AttributesArePerSessionAndTheTypeIsChecked) {
    ASSERT_EQ(carrik_init("VXI0::8::INSTR", 1, 1, &car), VI_SUCCESS);
    ASSERT_EQ(carrik_m_init(car, 1, &mod), VI_SUCCESS);
    ViSession other = 0, multimeter = 0;
    ASSERT_EQ(carrik_m_init(car, 1, &other), VI_SUCCESS);
    ASSERT_EQ(carrik_m_init(car, 3, &multimeter), VI_SUCCESS);

    int record = 15;
    const ViAttrState address = reinterpret_cast<ViAttrState>(&record);
    EXPECT_EQ(carrik_m_set_attribute(mod, ATTR_MODULE_DATA, address), VI_SUCCESS);
    ViAttrState got = 0;
    EXPECT_EQ(carrik_m_get_attribute(mod, ATTR_MODULE_DATA, &got), VI_SUCCESS);
    EXPECT_EQ(got, address);
    EXPECT_LT(carrik_m_get_attribute(other, ATTR_MODULE_DATA, &got), 0);
    EXPECT_LT(carrik_m_get_attribute(mod, ATTR_MODULE_FLAG, &got), 0);

    EXPECT_EQ(carrik_m_set_attribute(mod, ATTR_MODULE_TYPE, 15), VI_SUCCESS);
    EXPECT_EQ(carrik_m_set_attribute(multimeter, ATTR_MODULE_TYPE, 15), CARRIK_ERROR_TYPE);
    EXPECT_EQ(carrik_m_get_attribute(multimeter, ATTR_MODULE_TYPE, &got), VI_SUCCESS);
    EXPECT_EQ(got, 32u);

    EXPECT_EQ(carrik_m_config_trigger(mod, 0, 1), VI_SUCCESS);
    EXPECT_EQ(carrik_m_trig_length(mod, 0), VI_SUCCESS);
    EXPECT_EQ(carrik_m_close(other), VI_SUCCESS);
    EXPECT_EQ(carrik_m_close(multimeter), VI_SUCCESS);
}

TEST_F(CarrikTest, ModuleSessionsEndWithTheirCarrierAndWithTheBench) {
    ASSERT_EQ(carrik_init("VXI0::8::INSTR", 1, 1, &car), VI_SUCCESS);
    ASSERT_EQ(carrik_m_init(car, 1, &mod), VI_SUCCESS);
    ViUInt16 v;
    // A carrier session handle is no module session, and the reverse.
    EXPECT_EQ(carrik_m_in16(car, reg::Id, &v), VI_ERROR_INV_OBJECT);
    EXPECT_EQ(carrik_close(mod), VI_ERROR_INV_OBJECT);
    EXPECT_EQ(carrik_close(car), VI_SUCCESS);
    EXPECT_EQ(carrik_m_in16(mod, reg::Id, &v), VI_ERROR_INV_OBJECT);
    car = mod = 0;

    ASSERT_EQ(carrik_init("VXI0::8::INSTR", 1, 1, &car), VI_SUCCESS);
    ASSERT_EQ(carrik_m_init(car, 1, &mod), VI_SUCCESS);
    loadString(kBench, "again.yaml");
    EXPECT_EQ(carrik_m_in16(mod, reg::Id, &v), CARRIK_ERROR_STALE);
}

TEST_F(CarrikTest, TextsForItsOwnStatusesOnly) {
    char text[256];
    const ViStatus known[] = {
        VI_SUCCESS,        CARRIK_ERROR_NO_MEZZANINE, CARRIK_ERROR_BUS,   CARRIK_ERROR_OFFSET,
        CARRIK_ERROR_ATTR, CARRIK_ERROR_TYPE,         CARRIK_ERROR_STALE, VI_ERROR_RSRC_LOCKED,
        VI_ERROR_TMO,      VI_ERROR_FAIL_ID_QUERY};
    for (ViStatus s : known) {
        std::memset(text, 0, sizeof text);
        EXPECT_EQ(carrik_error_message(0, s, text), VI_SUCCESS) << std::hex << s;
        EXPECT_GT(std::strlen(text), 0u) << std::hex << s;
    }
    EXPECT_EQ(carrik_error_message(0, CARRIK_ERROR_BUS, text), VI_SUCCESS);
    EXPECT_STREQ(text, "Ошибка обмена с мезонином");
    // The module driver's own codes are not the carrier's.
    for (ViStatus s : {ViStatus(0xBFFC0C01), ViStatus(0xBFFC0CA4), ViStatus(0x3FFC0C00)}) {
        EXPECT_LT(carrik_error_message(0, s, text), 0) << std::hex << s;
        EXPECT_STREQ(text, "");
    }
}

} // namespace
} // namespace simtest
