// Opening, the search over all kinds and readings, on the simulated bench
// through the simulated multimeter drivers.
#include "bench.h"
#include "delay.h"
#include "fake_drivers.h"
#include "fake_host.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

using namespace ortav::sim;

const std::string kGreen = "green", kYellow = "yellow";

// A VXI carrier with an ORTAV at 1 and a mezzanine multimeter at 3, one resource
// for each of the other kinds, and the given multimeters.
std::string benchYaml(const std::string &multimeters, bool gpib = true,
                      const std::string &faults = "") {
    std::string y = "name: si\n"
                    "resources:\n"
                    "  - {name: VXI0::8::INSTR, slot: 2, manufacturer: 0xC5B, model: 0x10D}\n"
                    "  - {name: VXI0::24::INSTR}\n"
                    "  - {name: VXI0::32::INSTR}\n"
                    "  - name: VXI0::40::INSTR\n" +
                    faults;
    if (gpib)
        y += "  - {name: GPIB0::22::INSTR}\n";
    y += "carriers:\n"
         "  - resource: VXI0::8::INSTR\n"
         "    positions: {1: {type: ortav, series: 0.5}, 3: 32}\n"
         "multimeters:\n" +
         multimeters;
    return y;
}

const std::string kHpe1412 = "  - {kind: hpe1412, resource: VXI0::24::INSTR, noise: 1e-4}\n";
const std::string kMervd = "  - {kind: mervd, resource: VXI0::32::INSTR, noise: 1e-4}\n";
const std::string kSulvat = "  - {kind: sulvat, resource: VXI0::40::INSTR, noise: 1e-4}\n";
const std::string kTarnel =
    "  - {kind: tarnel, resource: VXI0::8::INSTR, position: 3, noise: 1e-4}\n";
const std::string kHp3458a = "  - {kind: hp3458a, resource: GPIB0::22::INSTR, noise: 1e-4}\n";

const char *const kTitleM = "Выберите МЦMM";
const char *const kTitleHp = "Выберите HP1412";
const char *const kTitleDmm1 = "Выберите ЦMM1";
const char *const kTitleDmm = "Выберите DMM1";

std::string waiting(const char *kind) {
    return std::string("show:\nПодождите,\n\nидет открытие инструмента ") + kind + "\n";
}

class OnBench : public ::testing::Test {
protected:
    void SetUp() override {
        ortav::clock::setVirtual(true);
        host().clear();
        clearSiState();
    }
    void TearDown() override {
        while (hasMultimeter() || viNM)
            closeMultimeter();
        clearSiState();
    }

    void load(const std::string &yaml) { loadString(yaml, "si.yaml"); }
    // The chooser offers all four listed kinds.
    void offerAll() {
        host().choice = {{hpe1412_MODEL_CODE, &hp},
                         {mervd_MODEL_CODE, &dmmE},
                         {sulvat_MODEL_CODE, &dmm1E},
                         {tarnel_MODEL_CODE, &mez}};
    }
    static std::vector<std::string> leds() {
        std::vector<std::string> out;
        for (int c : host().ledColors)
            out.push_back(c == 0x00FF00 ? kGreen : c == 0xFFFF00 ? kYellow : std::to_string(c));
        return out;
    }
    // Channel 1 of the module: the given resistor code and current, output on.
    static void switchOn(uint32_t code, uint16_t dac) {
        std::lock_guard lock(benchMutex());
        OrtavModule &m = *bench().findCarrier("VXI0::8::INSTR")->module(1);
        m.write(0x04, 0);
        m.write(0x0A, 0x10);
        m.write(0x0E, code & 0xFFFF);
        m.write(0x10, code >> 16);
        m.write(0x0C, dac);
        m.write(0x0A, 0x10 | (dac ? 0x04 : 0) | 0x01 | 0x40);
        Delay(0.01);
    }
    static OrtavModule &module() { return *bench().findCarrier("VXI0::8::INSTR")->module(1); }

    InstrumentEntry hp = entry("VXI0::24::INSTR", hpe1412_MODEL_CODE);
    InstrumentEntry dmmE = entry("VXI0::32::INSTR", mervd_MODEL_CODE);
    InstrumentEntry dmm1E = entry("VXI0::40::INSTR", sulvat_MODEL_CODE);
    InstrumentEntry mez = entry("VXI0::8::INSTR", tarnel_MODEL_CODE, 3);
};

TEST_F(OnBench, SelectHPOpensTheFirstKindThatIsThere) {
    struct Case {
        std::string meters;
        ViSession *session;
        std::vector<std::string> titles;
        const char *kind;
    } cases[] = {
        {kTarnel + kHpe1412, &viM_DMM1, {kTitleM}, "МЦMM"},
        {kHpe1412 + kSulvat, &viHP1412, {kTitleM, kTitleHp}, "HP1412"},
        {kSulvat + kMervd, &viDMM1, {kTitleM, kTitleHp, kTitleDmm1}, "ЦMM1"},
        {kMervd + kHp3458a, &viDMM, {kTitleM, kTitleHp, kTitleDmm1, kTitleDmm}, "DMM"},
        {kHp3458a, &viHP3458, {kTitleM, kTitleHp, kTitleDmm1, kTitleDmm}, "HP3458"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.kind);
        TearDown();
        SetUp();
        load(benchYaml(c.meters));
        // Only the kinds on the bench are in the list.
        offerAll();
        if (c.meters.find("tarnel") == std::string::npos)
            host().choice.erase(tarnel_MODEL_CODE);
        if (c.meters.find("hpe1412") == std::string::npos)
            host().choice.erase(hpe1412_MODEL_CODE);
        if (c.meters.find("sulvat") == std::string::npos)
            host().choice.erase(sulvat_MODEL_CODE);
        if (c.meters.find("mervd") == std::string::npos)
            host().choice.erase(mervd_MODEL_CODE);
        selectHP();
        EXPECT_NE(*c.session, 0u);
        EXPECT_EQ(hasMultimeter(), 1);
        EXPECT_EQ(host().listTitles, c.titles);
        EXPECT_EQ(host().panel, (std::vector<std::string>{waiting(c.kind), "hide"}));
        EXPECT_EQ(leds(), std::vector<std::string>{kGreen});
        EXPECT_TRUE(host().statusLines.empty()) << host().statusLines[0];
        EXPECT_TRUE(host().messages.empty());
    }
}

TEST_F(OnBench, MezzanineMultimeterOpensWithItsCarrier) {
    load(benchYaml(kTarnel));
    host().choice[tarnel_MODEL_CODE] = &mez;
    siStatus = 77;
    EXPECT_EQ(SelectM_DMM1(), 0);
    EXPECT_NE(viM_DMM1, 0u);
    EXPECT_NE(viNM, 0u);
    EXPECT_EQ(siStatus, 77); // its statuses stay local
    EXPECT_EQ(dmm, &mez);
    closeMultimeter();
    EXPECT_EQ(viM_DMM1, 0u);
    EXPECT_EQ(viNM, 0u);
}

TEST_F(OnBench, NothingFoundWhenTheUserCancelsEveryList) {
    for (bool gpib : {false, true}) {
        SCOPED_TRACE(gpib);
        TearDown();
        SetUp();
        // With the GPIB resource but no HP 3458A at it, its open fails.
        load(benchYaml(kHpe1412 + kTarnel, gpib));
        selectHP();
        EXPECT_EQ(host().listTitles,
                  (std::vector<std::string>{kTitleM, kTitleHp, kTitleDmm1, kTitleDmm}));
        EXPECT_EQ(hasMultimeter(), 0);
        EXPECT_EQ(host().messages, (std::vector<std::pair<std::string, std::string>>{
                                       {"Панель поверки-калибровки", "Мультиметр не найден"}}));
        if (gpib) {
            // No session open: the call's name alone.
            EXPECT_EQ(host().statusLines, std::vector<std::string>{"p_hp3458a_init "});
            EXPECT_EQ(leds(), std::vector<std::string>{kYellow});
            EXPECT_LT(siStatus, 0);
        } else {
            EXPECT_TRUE(host().statusLines.empty());
            EXPECT_TRUE(host().ledColors.empty());
            EXPECT_TRUE(host().panel.empty());
        }
    }
}

TEST_F(OnBench, ACMM1ThatFailsToOpenEndsTheSearch) {
    load(benchYaml(kSulvat + kMervd + kHp3458a, true, "    faults: {open_fails: true}\n"));
    offerAll();
    host().choice.erase(tarnel_MODEL_CODE);
    host().choice.erase(hpe1412_MODEL_CODE);
    selectHP();
    EXPECT_EQ(host().listTitles, (std::vector<std::string>{kTitleM, kTitleHp, kTitleDmm1}));
    EXPECT_EQ(viDMM1, 0u);
    EXPECT_EQ(hasMultimeter(), 0);
    EXPECT_EQ(leds(), std::vector<std::string>{kYellow});
    EXPECT_TRUE(host().statusLines.empty()); // its status is not examined
    EXPECT_EQ(host().messages.size(), 1u);
    EXPECT_EQ(SelectDMM1(), 0);
}

TEST_F(OnBench, AFailingStepReportsAndTheSearchGoesOn) {
    // The mezzanine entry names the wrong position: connect fails, the session
    // stays open and the LED green; the search goes on to the HP E1412.
    load(benchYaml(kTarnel + kHpe1412));
    mez.Meznum = 2;
    offerAll();
    selectHP();
    EXPECT_NE(viM_DMM1, 0u);
    EXPECT_NE(viHP1412, 0u);
    EXPECT_EQ(host().statusLines,
              std::vector<std::string>{
                  "p_tarnel_connect На этой позиции носителя нет мезонинного мультиметра"});
    EXPECT_EQ(leds(), (std::vector<std::string>{kGreen, kGreen}));
    EXPECT_TRUE(host().messages.empty());

    // A locked HP E1412: its init fails before any session of its own exists,
    // so the open mezzanine multimeter's driver explains the status.
    TearDown();
    SetUp();
    load(benchYaml(kTarnel + kHpe1412));
    host().choice = {{hpe1412_MODEL_CODE, &hp}};
    {
        std::lock_guard lock(benchMutex());
        bench().findResource("VXI0::24::INSTR")->faults.lockedFor = -1;
    }
    EXPECT_LT(SelectHP1412(), 0);
    EXPECT_EQ(host().statusLines, std::vector<std::string>{"p_hpe1412_init "});
    EXPECT_EQ(leds(), std::vector<std::string>{kYellow});
}

TEST_F(OnBench, OpeningAKindAgainClosesItsPreviousSession) {
    load(benchYaml(kHpe1412));
    host().choice = {{hpe1412_MODEL_CODE, &hp}};
    ASSERT_EQ(SelectHP1412(), 0);
    const ViSession first = viHP1412;
    ASSERT_EQ(SelectHP1412(), 0);
    EXPECT_NE(viHP1412, first);
    EXPECT_EQ(p_hpe1412_close(first), static_cast<ViStatus>(0xBFFF000E)); // already closed
    host().choice.clear();
    EXPECT_EQ(SelectHP1412(), 1); // closed, then nothing chosen
    EXPECT_EQ(viHP1412, 0u);
}

// Each kind reads the module's channel as its physics says, within the noise.
TEST_F(OnBench, ReadingsOfEachKindMatchTheModule) {
    struct Case {
        std::string meter;
        int (*open)();
        const char *kind;
    } cases[] = {
        {kHpe1412, SelectHP1412, "hpe1412"}, {kHp3458a, SelectHP3458, "hp3458a"},
        {kMervd, SelectDMM, "mervd"},        {kSulvat, SelectDMM1, "sulvat"},
        {kTarnel, SelectM_DMM1, "tarnel"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.kind);
        TearDown();
        SetUp();
        load(benchYaml(c.meter));
        offerAll();
        ASSERT_EQ(c.open(), 0);
        switchOn(0x8, 1208); // resistor 3 (150 ohms) with about 2.95 mA
        const double ohms = module().outputResistance(1);
        const double volts = module().outputVoltage(1);
        const double amps = module().sourceCurrent(1);
        ASSERT_GT(volts, 0.1);
        const double tol = 3e-4; // three standard deviations of the set noise

        double r = 0, u = 0, i = 0;
        EXPECT_EQ(measSetResRange(ohms), 0);
        configMultimeter(2);
        EXPECT_EQ(measureR(&r), 0);
        EXPECT_NEAR(r, ohms, ohms * tol);
        EXPECT_EQ(measSetURange(10.0), 0);
        configMultimeter(5);
        EXPECT_EQ(measureU(&u), 0);
        EXPECT_NEAR(u, volts, volts * tol);
        configMultimeter(7);
        EXPECT_EQ(measureI(&i), 0);
        EXPECT_NEAR(i, amps, amps * tol);
        EXPECT_TRUE(host().statusLines.empty()) << host().statusLines[0];
    }
}

TEST_F(OnBench, NoiseSetToZeroReadsExactly) {
    load(benchYaml("  - {kind: mervd, resource: VXI0::32::INSTR}\n"));
    host().choice = {{mervd_MODEL_CODE, &dmmE}};
    ASSERT_EQ(SelectDMM(), 0);
    switchOn(0x2, 0);
    double r = 0;
    EXPECT_EQ(measureR(&r), 0);
    EXPECT_EQ(r, module().outputResistance(1));
}

TEST_F(OnBench, DriverFailuresReachTheStatusLine) {
    // Over range: 18.75 + 0.5 ohms is fine on 100, 150 ohms are not.
    load(benchYaml(kHpe1412));
    host().choice = {{hpe1412_MODEL_CODE, &hp}};
    ASSERT_EQ(SelectHP1412(), 0);
    switchOn(0x8, 0);
    double r = 0;
    EXPECT_EQ(measSetResRange(100.0), 0);
    EXPECT_LT(measureR(&r), 0);
    EXPECT_EQ(host().statusLines,
              std::vector<std::string>{"p_hpe1412_timedFetch_Q Перегрузка: измеряемая величина "
                                       "вне предела измерения"});

    // The mezzanine multimeter needs its function set up before readings.
    TearDown();
    SetUp();
    load(benchYaml(kTarnel));
    host().choice = {{tarnel_MODEL_CODE, &mez}};
    ASSERT_EQ(SelectM_DMM1(), 0);
    switchOn(0x8, 0);
    EXPECT_LT(measureR(&r), 0);
    EXPECT_EQ(host().statusLines,
              std::vector<std::string>{"p_tarnel_measure_Q Функция измерения не настроена"});
    configMultimeter(2);
    EXPECT_EQ(measureR(&r), 0);

    // A multimeter that stops answering times out.
    TearDown();
    SetUp();
    load(benchYaml(kHp3458a));
    ASSERT_EQ(SelectHP3458(), 0);
    {
        std::lock_guard lock(benchMutex());
        bench().findResource("GPIB0::22::INSTR")->faults.silent = true;
    }
    double u = 0;
    EXPECT_LT(measureU(&u), 0);
    EXPECT_EQ(host().statusLines,
              std::vector<std::string>{"p_hp3458a_measure_Q Мультиметр не ответил за "
                                       "отведенное время"});
}

} // namespace
