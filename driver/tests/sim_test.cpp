// The driver on the simulated module: the register-level model checks bus
// protocol, settle times and register order as the hardware would.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "bench.h"
#include "carrik.h"
#include "delay.h"
#include "internal.h"
#include "ortav.h"

namespace {

using namespace ortav::sim;

constexpr const char *kCarrier = "VXI0::8::INSTR";
const ViStatus kBusError = static_cast<ViStatus>(0xBFFC0802u);
const ViStatus kNoMezzanine = static_cast<ViStatus>(0xBFFC0801u);

// A carrier with an ORTAV at position 1 described by `module` (YAML lines
// indented for the place), nothing at 2 and a mezzanine multimeter at 3.
std::string benchYaml(const std::string &module) {
    return "name: driver test\n"
           "resources:\n"
           "  - {name: VXI0::8::INSTR, slot: 2, manufacturer: 0xC5B, model: 0x10D}\n"
           "carriers:\n"
           "  - resource: VXI0::8::INSTR\n"
           "    positions:\n"
           "      1:\n"
           "        type: ortav\n" +
           module + "      2: empty\n      3: 32\n";
}

std::vector<std::uint8_t> bytesOf(const CoeffImage &c) {
    std::vector<std::uint8_t> v(sizeof c);
    std::memcpy(v.data(), &c, sizeof c);
    return v;
}

struct Question {
    ViInt16 channel, code;
    std::string message;
};
std::vector<Question> questions;
ViInt16 answer = 0;
ViInt16 callback(ViSession, ViInt16 channel, ViInt16 code, ViChar message[]) {
    questions.push_back({channel, code, message});
    return answer;
}

class DriverSimTest : public ::testing::Test {
protected:
    void SetUp() override {
        ortav::clock::setVirtual(true);
        questions.clear();
        answer = 0;
    }
    void TearDown() override { closeAll(); }
    void closeAll() {
        if (vi) {
            EXPECT_GE(ortav_close(vi), 0);
        }
        if (car)
            carrik_close(car);
        vi = car = 0;
    }

    // Loads the bench and opens the carrier; then the module, expecting `status`.
    void open(const std::string &module = "", ViStatus status = VI_SUCCESS) {
        closeAll();
        loadString(benchYaml(module), "driver_test.yaml");
        ASSERT_EQ(carrik_init(kCarrier, 1, 1, &car), VI_SUCCESS);
        ASSERT_EQ(ortav_init(car, 1, 1, 1, &vi), status);
        if (vi)
            rec = record(vi);
    }
    DeviceData *record(ViSession s) {
        ViAttrState v = 0;
        EXPECT_GE(carrik_m_get_attribute(s, ATTR_MODULE_DATA, &v), 0);
        return reinterpret_cast<DeviceData *>(static_cast<std::uintptr_t>(v));
    }
    OrtavModule &module() { return *bench().findCarrier(kCarrier)->module(1); }
    std::string text(ViStatus s) {
        char buf[256];
        ortav_error_message(0, s, buf);
        return buf;
    }
    ViStatus selfTest() {
        std::memset(message, 'x', sizeof message);
        message[255] = 0;
        result = -1;
        return ortav_self_test(vi, &result, message);
    }
    void expectNominal(const CoeffImage &c) {
        for (int ch = 0; ch < 2; ++ch) {
            for (int k = 0; k < 18; ++k)
                EXPECT_EQ(c.R[ch][k], ortav_nominalR[k]);
            EXPECT_EQ(c.iGain[ch], 409400.0);
            EXPECT_EQ(c.iOffset[ch], 0.0);
        }
    }

    ViSession car = 0, vi = 0;
    DeviceData *rec = nullptr;
    ViInt16 result = -1;
    char message[256];
};

TEST_F(DriverSimTest, OpensAndReadsTheCalibrationImage) {
    const std::string yaml = "        hw_version: 2\n"
                             "        id_high: 0x12\n"
                             "        resistor_error: {spread: 0.004, seed: 5}\n"
                             "        series: [0.41, 0.43]\n"
                             "        eeprom: {image: valid, deviation: 0.0003, seed: 9}\n";
    open(yaml);
    ASSERT_NE(vi, 0u);
    EXPECT_EQ(rec->initStatus, 0);
    EXPECT_EQ(rec->hwVersion, 2);
    EXPECT_EQ(rec->carrierVi, car);
    EXPECT_EQ(bytesOf(rec->coeff), std::vector<std::uint8_t>(module().eeprom().begin(),
                                                             module().eeprom().begin() + 344));
    EXPECT_EQ(rec->coeff.r0[1], 0.43);
    EXPECT_EQ(rec->nominalR, ortav_nominalR);
    EXPECT_TRUE(module().writeProtected());
    EXPECT_FALSE(module().testMode());
    CoeffImage *image = nullptr;
    EXPECT_EQ(ortav_get_attribute(vi, ORTAV_ATTR_COEFF, &image), VI_SUCCESS);
    EXPECT_EQ(image, &rec->coeff);
}

TEST_F(DriverSimTest, OpenFailures) {
    open();
    ViSession s = 0x55;
    EXPECT_EQ(ortav_init(car, 0, 1, 1, &s), VI_ERROR_PARAMETER2);
    EXPECT_EQ(ortav_init(car, 5, 1, 1, &s), VI_ERROR_PARAMETER2);
    EXPECT_EQ(s, 0x55u);
    EXPECT_EQ(ortav_init(car, 2, 1, 1, &s), kNoMezzanine); // empty position
    EXPECT_EQ(text(kNoMezzanine), "Мезонин в указанной позиции не установлен");
    // The mezzanine multimeter at 3 is not an ORTAV: the carrier refuses the type.
    s = 0x55;
    EXPECT_LT(ortav_init(car, 3, 1, 1, &s), 0);
    EXPECT_EQ(s, 0u);

    open("        faults: {id: 0x0010}\n", VI_ERROR_FAIL_ID_QUERY);
    EXPECT_EQ(vi, 0u);
    open("        faults: {id: 0x120F}\n", VI_SUCCESS);
    EXPECT_NE(vi, 0u);
}

TEST_F(DriverSimTest, UnusableImagesFallBackToNominal) {
    const char *cases[] = {
        "        eeprom: blank\n",
        "        eeprom: corrupt\n",
        "        eeprom: absent\n",
        "        eeprom: {image: valid, bytes: [0x00], at: 0}\n",
        "        eeprom: {image: valid, deviation: 0.3, seed: 4}\n",
    };
    for (const char *yaml : cases) {
        SCOPED_TRACE(yaml);
        open(yaml, ORTAV_WARN_INIT);
        ASSERT_NE(vi, 0u);
        EXPECT_EQ(rec->initStatus, ORTAV_ERROR_COEFF);
        expectNominal(rec->coeff);
        // Nothing of a failed read is kept: no series resistance either.
        EXPECT_EQ(rec->coeff.r0[0], 0.0);
        EXPECT_EQ(rec->coeff.r0[1], 0.0);
        EXPECT_TRUE(module().writeProtected());

        // Usable on nominal values.
        EXPECT_EQ(ortav_config_R(vi, 1, 100.0), VI_SUCCESS);
        EXPECT_EQ(module().channel(1).code, 0x18u);

        EXPECT_EQ(selfTest(), ORTAV_ERROR_SELF_TEST);
        EXPECT_EQ(result, 8);
        EXPECT_EQ(std::string(message), "Ошибочные коэффициенты из РПЗУ(ошибка инициализации)");
    }
}

// The identification register cannot be read: the open stops there with a
// warning, before reset and EEPROM, and the session still works.
TEST_F(DriverSimTest, IdentificationUnreadable) {
    open("        faults: {access: [{register: 0x02, on: read}]}\n", ORTAV_WARN_INIT);
    ASSERT_NE(vi, 0u);
    EXPECT_EQ(rec->initStatus, kBusError);
    EXPECT_EQ(rec->nominalR, ortav_nominalR);
    EXPECT_EQ(rec->fixCode[1], 41);
    expectNominal(rec->coeff);
    EXPECT_EQ(ortav_config(vi, 2, 50.0, 1, 0.00295), VI_SUCCESS);
    EXPECT_EQ(module().channel(2).code, 0xCu);
    EXPECT_EQ(module().channel(2).dac, 1208);

    EXPECT_EQ(selfTest(), ORTAV_ERROR_SELF_TEST);
    EXPECT_EQ(result, 0x02);
    EXPECT_EQ(std::string(message), "Ошибка обмена с мезонином(ошибка инициализации)");
}

TEST_F(DriverSimTest, OpenWithoutQueryOrReset) {
    loadString(benchYaml(""), "driver_test.yaml");
    ASSERT_EQ(carrik_init(kCarrier, 1, 1, &car), VI_SUCCESS);
    ASSERT_EQ(ortav_init(car, 1, 0, 0, &vi), VI_SUCCESS);
    rec = record(vi);
    EXPECT_EQ(rec->fixCode[0], 1208);
    EXPECT_EQ(rec->nominalR, ortav_nominalR);
}

TEST_F(DriverSimTest, ResetClearsModuleAndRecord) {
    open();
    ASSERT_EQ(ortav_config(vi, 0, 1000.0, 1, 0.002), VI_SUCCESS);
    ASSERT_EQ(ortav_mode_R(vi, 1), VI_SUCCESS);
    ASSERT_EQ(ortav_config_trigger(vi, 1), VI_SUCCESS);
    EXPECT_NE(module().channel(2).code, 0u);
    EXPECT_EQ(ortav_reset(vi), VI_SUCCESS);
    for (int ch : {1, 2})
        EXPECT_EQ(module().channel(ch).code, 0u) << ch;
    EXPECT_EQ(module().registerLatch(ORTAV_REG_CTRL), 0);
    EXPECT_FALSE(module().testMode());
    EXPECT_EQ(rec->code[1], 0);
    EXPECT_EQ(rec->modeR, 0);
    EXPECT_EQ(rec->trigMode, 0);
    EXPECT_EQ(rec->iSet[0], 0.0);
}

TEST_F(DriverSimTest, ResistanceAndCurrentOnTheOutputs) {
    open("        resistor_error: {spread: 0.004, seed: 5}\n"
         "        series: [0.41, 0.43]\n");
    ASSERT_EQ(ortav_config(vi, 1, 100.0, 1, 0.001), VI_SUCCESS);
    ASSERT_EQ(ortav_config_R(vi, 2, 5000.0), VI_SUCCESS);
    ASSERT_EQ(ortav_switch(vi, 1, 1), VI_SUCCESS);
    // The calibration image is exact here: the outputs are what was asked.
    EXPECT_NEAR(module().outputResistance(1), 100.0, 100.0 * 0.01);
    EXPECT_NEAR(module().outputResistance(2), 5000.0, 5000.0 * 0.01);
    EXPECT_NEAR(module().sourceCurrent(1), 0.001, 0.001 * 0.005);
    EXPECT_TRUE(module().outputConnected(1));
    EXPECT_FALSE(module().outputConnected(2));

    ViInt16 state = 0;
    EXPECT_EQ(ortav_state(vi, &state), VI_SUCCESS);
    EXPECT_EQ(state, 1);
    ViReal64 r = 0, i = 0;
    ViInt16 powered = 0, on = 0;
    EXPECT_EQ(ortav_chan_q(vi, 1, &r, &powered, &i, &on), VI_SUCCESS);
    EXPECT_NEAR(r, 100.0, 1.0);
    EXPECT_EQ(powered, 1);
    EXPECT_EQ(i, 0.001);
    EXPECT_EQ(on, 1);

    // Channel 2 on, then channel 1 off: channel 2 stays connected.
    ASSERT_EQ(ortav_switch(vi, 2, 1), VI_SUCCESS);
    ASSERT_EQ(ortav_switch(vi, 1, 0), VI_SUCCESS);
    EXPECT_FALSE(module().outputConnected(1));
    EXPECT_TRUE(module().outputConnected(2));
    EXPECT_EQ(ortav_state(vi, &state), VI_SUCCESS);
    EXPECT_EQ(state, 2);
    ASSERT_EQ(ortav_switch(vi, 0, 0), VI_SUCCESS);
    EXPECT_FALSE(module().outputConnected(2));

    ASSERT_EQ(ortav_powering(vi, 1, 0), VI_SUCCESS);
    EXPECT_EQ(module().sourceCurrent(1), 0.0);
    EXPECT_EQ(ortav_config_R(vi, 1, 0.0), VI_SUCCESS);
    EXPECT_EQ(module().channel(1).code, 0u);
    EXPECT_EQ(ortav_chan_q(vi, 1, &r, nullptr, nullptr, nullptr), VI_SUCCESS);
    EXPECT_EQ(r, 999999999.0);
}

TEST_F(DriverSimTest, TriggerMode) {
    open();
    ASSERT_EQ(ortav_config_R(vi, 1, 200.0), VI_SUCCESS);
    ASSERT_EQ(ortav_config_trigger(vi, 1), VI_SUCCESS);
    ASSERT_EQ(ortav_switch(vi, 1, 1), VI_SUCCESS);
    ViInt16 waiting = 0;
    EXPECT_EQ(ortav_gstart_q(vi, &waiting), VI_SUCCESS);
    EXPECT_EQ(waiting, 1);
    EXPECT_FALSE(module().outputConnected(1));
    EXPECT_TRUE(module().armed());

    bench().findCarrier(kCarrier)->fireTrigger();
    EXPECT_TRUE(module().outputConnected(1));
    EXPECT_EQ(ortav_gstart_q(vi, &waiting), VI_SUCCESS);
    EXPECT_EQ(waiting, 0);

    // Back to connecting at once.
    ASSERT_EQ(ortav_switch(vi, 0, 0), VI_SUCCESS);
    ASSERT_EQ(ortav_config_trigger(vi, 0), VI_SUCCESS);
    ASSERT_EQ(ortav_switch(vi, 2, 1), VI_SUCCESS);
    EXPECT_TRUE(module().outputConnected(2));
    EXPECT_EQ(ortav_gstart_q(vi, &waiting), VI_SUCCESS);
    EXPECT_EQ(waiting, 0);
}

TEST_F(DriverSimTest, TransitionCodes) {
    open();
    ASSERT_EQ(ortav_config_R(vi, 1, 18.75), VI_SUCCESS); // code 0x00001
    ASSERT_EQ(ortav_switch(vi, 1, 1), VI_SUCCESS);
    ASSERT_EQ(ortav_mode_R(vi, 1), VI_SUCCESS);
    ortav::clock::clearWaits();
    const std::int32_t code = ortavMath_RtoN(&rec->coeff, 0, 37.5);
    ASSERT_EQ(ortav_config_R(vi, 1, 37.5), VI_SUCCESS); // through a transition code
    EXPECT_EQ(module().channel(1).code, static_cast<std::uint32_t>(code));
    EXPECT_EQ(rec->applied[0], code);
    EXPECT_EQ(ortav::clock::waits(), (std::vector<double>{0.005, 0.005}));
    EXPECT_NEAR(module().outputResistance(1), 37.5, 37.5 * 0.02);

    // Output off: the state bit is clear, no transition.
    ASSERT_EQ(ortav_switch(vi, 1, 0), VI_SUCCESS);
    ortav::clock::clearWaits();
    ASSERT_EQ(ortav_config_R(vi, 1, 18.75), VI_SUCCESS);
    EXPECT_EQ(ortav::clock::waits(), std::vector<double>{0.005});
}

TEST_F(DriverSimTest, ResistorsOneByOneForCalibration) {
    open();
    ASSERT_EQ(ortav_switch(vi, 2, 1), VI_SUCCESS);
    ASSERT_EQ(ortav_switch_R(vi, 2, 3, 0), VI_SUCCESS);
    ASSERT_EQ(ortav_switch_R(vi, 2, 4, 1), VI_SUCCESS);
    EXPECT_EQ(module().channel(2).code, 0xCu);
    EXPECT_NEAR(module().outputResistance(2), 50.0 + 0.5, 0.5);
    EXPECT_DOUBLE_EQ(rec->rSwitched[1], 50.5); // the image holds R with r0 = 0.5 in it
    ASSERT_EQ(ortav_switch_R(vi, 2, 0, 0), VI_SUCCESS);
    EXPECT_EQ(module().channel(2).code, 0u);
    EXPECT_EQ(rec->rSwitched[1], 999999999.0);
}

TEST_F(DriverSimTest, EepromWriteReadsBackInANewSession) {
    open("        series: [0.41, 0.43]\n");
    rec->coeff.R[0][3] *= 1.01;
    rec->coeff.R[1][17] *= 0.99;
    rec->coeff.r0[1] = 0.45;
    rec->coeff.iGain[0] = 410000.0;
    rec->coeff.iOffset[1] = -3.25;
    rec->coeff.reserved = 0x0BADF00D;
    const std::vector<std::uint8_t> written = bytesOf(rec->coeff);
    ortav::clock::clearWaits();
    EXPECT_EQ(ortav_writeFlash(rec), VI_SUCCESS);
    EXPECT_EQ(ortav::clock::waits(), std::vector<double>(11, 0.005));
    EXPECT_TRUE(module().writeProtected());

    ASSERT_EQ(ortav_close(vi), VI_SUCCESS);
    vi = 0;
    ViSession again = 0;
    ASSERT_EQ(ortav_init(car, 1, 1, 1, &again), VI_SUCCESS);
    vi = again;
    rec = record(vi);
    EXPECT_EQ(bytesOf(rec->coeff), written);

    // An implausible image is not written.
    std::vector<std::uint8_t> before(module().eeprom().begin(), module().eeprom().begin() + 344);
    rec->coeff.iOffset[0] = 16.5;
    EXPECT_EQ(ortav_writeFlash(rec), ORTAV_ERROR_COEFF);
    EXPECT_EQ(std::vector<std::uint8_t>(module().eeprom().begin(), module().eeprom().begin() + 344),
              before);
}

TEST_F(DriverSimTest, EepromThatNeverAcknowledges) {
    open("        eeprom: absent\n", ORTAV_WARN_INIT);
    EXPECT_EQ(ortav_writeFlash(rec), ORTAV_ERROR_COEFF);
    EXPECT_TRUE(module().writeProtected());
    EXPECT_EQ(ortav_readFlash(rec), ORTAV_ERROR_COEFF);
    expectNominal(rec->coeff);
}

TEST_F(DriverSimTest, RegisterAccessFailures) {
    open("        faults: {access: [{register: 0x0C, on: write}]}\n");
    EXPECT_EQ(ortav_config_I(vi, 1, 0.001), kBusError);
    EXPECT_EQ(text(kBusError), "Ошибка обмена с мезонином");
    EXPECT_EQ(rec->iSet[0], 0.0);
}

TEST_F(DriverSimTest, SelfTestHealthy) {
    open("        hw_version: 2\n        resistor_error: {spread: 0.01, seed: 3}\n");
    ortav::clock::clearWaits();
    EXPECT_EQ(selfTest(), VI_SUCCESS);
    EXPECT_EQ(result, 0);
    EXPECT_STREQ(message, "Самоконтроль завершен успешно");
    EXPECT_FALSE(module().testMode());
    EXPECT_EQ(module().channel(1).code, 0u);
    EXPECT_EQ(module().channel(2).code, 0u);
    double total = 0;
    for (double w : ortav::clock::waits())
        total += w;
    EXPECT_NEAR(total, 0.122, 1e-9); // the fixed waits and three resets
}

TEST_F(DriverSimTest, SelfTestFindsFaults) {
    struct Case {
        const char *name;
        const char *yaml;
        ViInt16 result;
        std::string message;
    };
    const Case cases[] = {
        {"open resistor 6 of channel 1",
         "        faults: {open_resistor: [{channel: 1, resistor: 6}]}\n", 3,
         "Контроль подключения резисторов не прошел (резистор 1200.5)"},
        {"open resistor 0 of channel 2",
         "        faults: {open_resistor: [{channel: 2, resistor: 0}]}\n", 3,
         "Контроль подключения резисторов не прошел (резистор 19.25)"},
        {"dead source of channel 2", "        faults: {dead_source: [2]}\n", 2,
         "Контроль формирования тока на канале 2 не прошел"},
        {"dead source of channel 1", "        faults: {dead_source: [1]}\n", 1,
         "Контроль формирования тока на канале 1 не прошел"},
        {"DAC bit stuck", "        faults: {stuck: [{register: 0x0C, mask: 0x0004, level: 1}]}\n",
         0, "Ошибка в регистре c"},
        {"channel bit stuck",
         "        faults: {stuck: [{register: 0x0A, mask: 0x0100, level: 0}]}\n", 0,
         "Ошибка в регистре a"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        open(c.yaml);
        ASSERT_NE(vi, 0u);
        EXPECT_EQ(selfTest(), VI_SUCCESS);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(std::string(message), c.message);
        EXPECT_FALSE(module().testMode());
    }
}

TEST_F(DriverSimTest, SelfTestCallbackContinuesOrStops) {
    const std::string yaml = "        faults:\n"
                             "          open_resistor: [{channel: 1, resistor: 2}]\n"
                             "          dead_source: [1]\n";
    open(yaml);
    ASSERT_EQ(ortav_sft_interface(vi, callback), VI_SUCCESS);
    EXPECT_EQ(selfTest(), VI_SUCCESS);
    ASSERT_EQ(questions.size(), 2u);
    EXPECT_EQ(questions[0].channel, 1);
    EXPECT_EQ(questions[0].code, 1);
    EXPECT_EQ(questions[1].channel, 0);
    EXPECT_EQ(questions[1].code, 3);
    EXPECT_EQ(questions[1].message, "Контроль подключения резисторов не прошел (резистор 75.5)");
    EXPECT_EQ(result, 3);

    // Stopping at the first failure: result 0, its text kept, the module reset.
    questions.clear();
    answer = 1;
    EXPECT_EQ(selfTest(), VI_SUCCESS);
    EXPECT_EQ(questions.size(), 1u);
    EXPECT_EQ(result, 0);
    EXPECT_STREQ(message, "Контроль формирования тока на канале 1 не прошел");
    EXPECT_FALSE(module().testMode());
    EXPECT_EQ(module().channel(1).code, 0u);
    EXPECT_EQ(module().registerLatch(ORTAV_REG_CTRL), 0);
}

TEST_F(DriverSimTest, CloseDisconnects) {
    open();
    ASSERT_EQ(ortav_config_R(vi, 0, 100.0), VI_SUCCESS);
    ASSERT_EQ(ortav_switch(vi, 0, 1), VI_SUCCESS);
    EXPECT_TRUE(module().outputConnected(1));
    EXPECT_EQ(ortav_close(vi), VI_SUCCESS);
    vi = 0;
    EXPECT_FALSE(module().outputConnected(1));
    EXPECT_FALSE(module().outputConnected(2));
}

} // namespace
