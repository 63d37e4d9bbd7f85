// The rules that hold whatever the multimeters measure: the status check's
// texts, which open session each operation uses, the range tables, warnings.
#include "delay.h"
#include "fake_drivers.h"
#include "fake_host.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <utility>

namespace {

class Rules : public ::testing::Test {
protected:
    void SetUp() override {
        ortav::clock::setVirtual(true);
        host().clear();
        clearSiState();
        installFakeDrivers();
    }
    void TearDown() override { clearSiState(); }

    static void open(std::initializer_list<ViSession> sessions) {
        for (ViSession s : sessions) {
            switch (s) {
            case kHP1412:
                viHP1412 = s;
                break;
            case kHP3458:
                viHP3458 = s;
                break;
            case kDMM:
                viDMM = s;
                break;
            case kDMM1:
                viDMM1 = s;
                break;
            case kM_DMM1:
                viM_DMM1 = s;
                break;
            }
        }
    }
    static std::vector<std::string> &calls() { return fakes().calls; }
};

TEST_F(Rules, StatusCheckCutsTheCallTextAtItsFirstParenthesis) {
    struct Case {
        const char *text;
        const char *line;
    } cases[] = {
        {"p_hpe1412_voltDcNplc (viHP1412, 100.0)", "p_hpe1412_voltDcNplc "},
        {"loadLibs(hpe1412_MODEL_CODE)", "loadLibs"},
        {"p_carrik_init(dmm->Address, VI_ON, VI_ON, &viNM)", "p_carrik_init"},
        {"no parenthesis", "no parenthesis"},
        {"(", ""},
    };
    for (const Case &c : cases) {
        host().clear();
        EXPECT_EQ(siCheck(-7, c.text), -7);
        EXPECT_EQ(siStatus, -7);
        ASSERT_EQ(host().statusLines.size(), 1u) << c.text;
        EXPECT_EQ(host().statusLines[0], c.line); // no session open: no driver text
    }
}

TEST_F(Rules, StatusCheckAppendsTheTextOfTheFirstOpenSessionsDriver) {
    struct Case {
        std::initializer_list<ViSession> open;
        const char *line;
        const char *consulted;
    } cases[] = {
        {{kM_DMM1}, "p_x <tarnel -5>", "tarnel_error_message(0,-5)"},
        {{kDMM1, kM_DMM1}, "p_x <sulvat -5>", "sulvat_error_message(0,-5)"},
        {{kDMM, kDMM1}, "p_x <mervd -5>", "mervd_error_message(0,-5)"},
        {{kHP3458, kDMM}, "p_x <hp3458a -5>", "hp3458a_error_message(0,-5)"},
        {{kHP1412, kHP3458, kM_DMM1}, "p_x <hpe1412 -5>", "hpe1412_error_message(0,-5)"},
    };
    for (const Case &c : cases) {
        clearSiState();
        installFakeDrivers();
        host().clear();
        open(c.open);
        siCheck(-5, "p_x (a, b)");
        ASSERT_EQ(host().statusLines.size(), 1u);
        EXPECT_EQ(host().statusLines[0], c.line);
        EXPECT_EQ(calls(), std::vector<std::string>{c.consulted});
    }
}

TEST_F(Rules, StatusZeroWritesNothingAndTheColourIsNeverTouched) {
    open({kHP1412});
    siCheck(-1, "p_a (x)");
    EXPECT_EQ(siCheck(0, "p_b (x)"), 0);
    EXPECT_EQ(siStatus, 0);
    EXPECT_EQ(host().statusLines, std::vector<std::string>{"p_a <hpe1412 -1>"});
    EXPECT_TRUE(host().ledColors.empty());
}

TEST_F(Rules, ADriverTextWithoutItsEndStopsAtTheBuffer) {
    open({kDMM});
    p_mervd_error_message = [](ViSession, ViStatus, ViChar text[]) -> ViStatus {
        std::memset(text, 'x', 256); // no terminating NUL
        return 0;
    };
    siCheck(-1, "p_mervd_init (a)");
    ASSERT_EQ(host().statusLines.size(), 1u);
    EXPECT_EQ(host().statusLines[0], "p_mervd_init " + std::string(255, 'x'));
}

TEST_F(Rules, ResistanceRangeIsTheDecadeAboveNinetyFivePercent) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        double ohms;
        double range;
    } cases[] = {
        {-5.0, 100},   {0.0, 100},   {105.26, 100}, {105.27, 1000}, {500, 1000},
        {1000, 1000},  {1052, 1000}, {1053, 1e4},   {2e6, 1e7},     {2e7, 1e8},
        {1.06e7, 1e8}, {5e8, 1e8},   {inf, 1e8},    {nan, 100},     {1e300, 1e8},
    };
    for (const Case &c : cases)
        EXPECT_EQ(siResRange(c.ohms), c.range) << c.ohms;
}

TEST_F(Rules, VoltageRangeSteps) {
    struct Case {
        double volts;
        double range;
    } cases[] = {{-3.0, 0.1},       {0.1, 0.1},
                 {0.1000001, 1.0},  {1.0, 1.0},
                 {1.0000001, 10.0}, {10.0, 10.0},
                 {250.0, 10.0},     {std::numeric_limits<double>::quiet_NaN(), 10.0}};
    for (const Case &c : cases)
        EXPECT_EQ(siVoltRange(c.volts), c.range) << c.volts;
}

// Which driver each operation reaches for a set of open sessions.
TEST_F(Rules, EachOperationUsesTheFirstOpenSessionInItsOwnOrder) {
    struct Case {
        std::initializer_list<ViSession> open;
        const char *reading;  // measureR
        const char *resRange; // measSetResRange(2000)
        const char *uRange;   // measSetURange(0.5); "" when nothing is called
        const char *close;    // closeMultimeter
    } cases[] = {
        {{kHP1412, kHP3458, kDMM, kDMM1, kM_DMM1},
         "hpe1412_timedFetch_Q(11,10000)",
         "hpe1412_resRang(11,0,10000)",
         "hpe1412_voltDcRang(11,0,1)",
         "hpe1412_close(11)"},
        {{kHP3458, kDMM1},
         "hp3458a_measure_Q(12,5)",
         "hp3458a_resRang(12,0,10000)",
         "sulvat_voltDcRang(14,0,1)",
         "hp3458a_close(12)"},
        {{kHP3458},
         "hp3458a_measure_Q(12,5)",
         "hp3458a_resRang(12,0,10000)",
         "",
         "hp3458a_close(12)"},
        {{kDMM, kDMM1},
         "mervd_measure_Q(13,2)",
         "sulvat_fresRang(14,0,10000)",
         "sulvat_voltDcRang(14,0,1)",
         "sulvat_close(14)"},
        {{kDMM, kM_DMM1},
         "mervd_measure_Q(13,2)",
         "mervd_fresRang(13,0,10000)",
         "mervd_voltDcRang(13,0,1)",
         "mervd_close(13)"},
        {{kDMM1, kM_DMM1},
         "sulvat_read_Q(14)",
         "sulvat_fresRang(14,0,10000)",
         "sulvat_voltDcRang(14,0,1)",
         "sulvat_close(14)"},
        {{kM_DMM1},
         "tarnel_measure_Q(15,2)",
         "tarnel_fresRang(15,0,10000)",
         "tarnel_voltDcRang(15,0,1)",
         "tarnel_close(15)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.reading);
        clearSiState();
        open(c.open);
        double r = 0;
        installFakeDrivers();
        EXPECT_EQ(measureR(&r), 0);
        ASSERT_FALSE(calls().empty());
        EXPECT_EQ(calls().back(), c.reading);
        installFakeDrivers();
        measSetResRange(2000.0);
        EXPECT_EQ(calls(), std::vector<std::string>{c.resRange});
        installFakeDrivers();
        measSetURange(0.5);
        EXPECT_EQ(calls(),
                  *c.uRange ? std::vector<std::string>{c.uRange} : std::vector<std::string>{});
        installFakeDrivers();
        closeMultimeter();
        EXPECT_EQ(calls(), std::vector<std::string>{c.close});
    }
}

TEST_F(Rules, ReadingsPassTheFunctionCodesOfEachKind) {
    struct Case {
        ViSession session;
        int (*measure)(double *);
        std::vector<std::string> calls;
    } cases[] = {
        {kHP1412,
         measureI,
         {"hpe1412_func(11,7)", "hpe1412_trigCoun(11,1)", "hpe1412_initImm(11)",
          "hpe1412_timedFetch_Q(11,10000)"}},
        {kHP1412,
         measureU,
         {"hpe1412_func(11,5)", "hpe1412_trigCoun(11,1)", "hpe1412_initImm(11)",
          "hpe1412_timedFetch_Q(11,10000)"}},
        {kHP3458, measureI, {"hp3458a_measure_Q(12,6)"}},
        {kHP3458, measureU, {"hp3458a_measure_Q(12,1)"}},
        {kHP3458, measureR, {"hp3458a_measure_Q(12,5)"}},
        {kDMM, measureI, {"mervd_measure_Q(13,7)"}},
        {kDMM, measureU, {"mervd_measure_Q(13,5)"}},
        {kDMM1, measureU, {"sulvat_read_Q(14)"}},
        {kM_DMM1, measureI, {"tarnel_measure_Q(15,7)"}},
        {kM_DMM1, measureU, {"tarnel_measure_Q(15,5)"}},
    };
    for (const Case &c : cases) {
        clearSiState();
        open({c.session});
        installFakeDrivers();
        double r = 0;
        ortav::clock::clearWaits();
        EXPECT_EQ(c.measure(&r), 0);
        EXPECT_EQ(calls(), c.calls);
        EXPECT_EQ(r, fakes().reading[c.calls.back().substr(0, c.calls.back().find('_'))]);
        EXPECT_EQ(ortav::clock::waits(), std::vector<double>{0.005});
    }
}

TEST_F(Rules, NothingOpen) {
    double r = 42;
    siStatus = 3;
    EXPECT_EQ(measureI(&r), -1);
    EXPECT_EQ(measureU(&r), -1);
    EXPECT_EQ(measureR(&r), -1);
    EXPECT_EQ(r, 42);
    EXPECT_EQ(measSetURange(1.0), 3); // siStatus as it was
    EXPECT_EQ(measSetResRange(1.0), 3);
    closeMultimeter();
    configMultimeter(2);
    EXPECT_TRUE(calls().empty());
    EXPECT_TRUE(host().statusLines.empty());
    EXPECT_EQ(hasMultimeter(), 0);
    viNM = kNM; // the carrier session does not count
    EXPECT_EQ(hasMultimeter(), 0);
}

TEST_F(Rules, AWarningLetsTheReadingGoOnAndAnErrorStopsIt) {
    open({kHP1412});
    fakes().fail["hpe1412_func"] = 0x3FFC0901;
    double r = 0;
    EXPECT_EQ(measureU(&r), 0);    // the status of the fetch
    EXPECT_EQ(calls().size(), 5u); // func, error text, trigCoun, initImm, fetch
    EXPECT_EQ(host().statusLines, std::vector<std::string>{"p_hpe1412_func <hpe1412 1073481985>"});
    EXPECT_EQ(r, 1.0);

    installFakeDrivers();
    host().clear();
    fakes().fail["hpe1412_initImm"] = -3;
    r = 0;
    EXPECT_EQ(measureR(&r), -3);
    EXPECT_EQ(calls(),
              (std::vector<std::string>{"hpe1412_func(11,2)", "hpe1412_trigCoun(11,1)",
                                        "hpe1412_initImm(11)", "hpe1412_error_message(0,-3)"}));
    EXPECT_EQ(host().statusLines, std::vector<std::string>{"p_hpe1412_initImm <hpe1412 -3>"});
    EXPECT_EQ(r, 0);
}

TEST_F(Rules, TheHP1412OpenSequenceGoesOnAfterAWarning) {
    InstrumentEntry hp = entry("VXI0::24::INSTR", hpe1412_MODEL_CODE);
    host().choice = {{hpe1412_MODEL_CODE, &hp}};
    const std::vector<std::string> sequence = {
        "hpe1412_init(VXI0::24::INSTR,1,1)", "hpe1412_voltDcNplc(11,100)",
        "hpe1412_currDcNplc(11,100)", "hpe1412_voltDcRang(11,0,10)",
        "hpe1412_currDcRang(11,0,0.01)"};

    fakes().fail["hpe1412_voltDcNplc"] = 5;
    EXPECT_EQ(SelectHP1412(), 0);
    std::vector<std::string> expected = sequence;
    expected.insert(expected.begin() + 2, "hpe1412_error_message(0,5)");
    EXPECT_EQ(calls(), expected);
    EXPECT_EQ(host().statusLines, std::vector<std::string>{"p_hpe1412_voltDcNplc <hpe1412 5>"});
    EXPECT_EQ(host().ledColors, std::vector<int>{0x00FF00});

    // A warning from the last call is the result; the session stays open.
    installFakeDrivers();
    fakes().fail["hpe1412_currDcRang"] = 7;
    EXPECT_EQ(SelectHP1412(), 7);
    EXPECT_EQ(calls().front(), "hpe1412_close(11)"); // the previous session first
    EXPECT_EQ(viHP1412, kHP1412);

    // An error stops it with the session open and the LED green.
    installFakeDrivers();
    host().clear();
    host().choice = {{hpe1412_MODEL_CODE, &hp}};
    fakes().fail["hpe1412_currDcNplc"] = -4;
    EXPECT_EQ(SelectHP1412(), -4);
    EXPECT_EQ(calls().back(), "hpe1412_error_message(0,-4)");
    EXPECT_EQ(host().ledColors, std::vector<int>{0x00FF00});
    EXPECT_EQ(host().panel.back(), "hide");
}

// The maker's DMM: its voltage range automatic, its current range fixed.
TEST_F(Rules, TheDMMOpenSequence) {
    InstrumentEntry d = entry("VXI0::32::INSTR", mervd_MODEL_CODE);
    host().choice = {{mervd_MODEL_CODE, &d}};
    EXPECT_EQ(SelectDMM(), 0);
    EXPECT_EQ(calls(), (std::vector<std::string>{
                           "mervd_init(VXI0::32::INSTR,1,1)", "mervd_currDcNplc(13,100)",
                           "mervd_voltDcNplc(13,100)", "mervd_voltDcRang(13,1,10)",
                           "mervd_currDcRang(13,0,0.01)"}));
    EXPECT_EQ(viDMM, kDMM);
    EXPECT_EQ(host().ledColors, std::vector<int>{0x00FF00});

    // An error ends it there, with the driver's text on the status line.
    installFakeDrivers();
    host().clear();
    host().choice = {{mervd_MODEL_CODE, &d}};
    fakes().fail["mervd_voltDcNplc"] = -6;
    EXPECT_EQ(SelectDMM(), -6);
    EXPECT_EQ(calls().back(), "mervd_error_message(0,-6)");
    EXPECT_EQ(host().statusLines, std::vector<std::string>{"p_mervd_voltDcNplc <mervd -6>"});
}

TEST_F(Rules, RangeCallsThatAreNeverReported) {
    open({kHP3458});
    fakes().fail["hp3458a_resRang"] = -9;
    siStatus = 0;
    EXPECT_EQ(measSetResRange(500.0), 0);
    clearSiState();
    open({kDMM1});
    installFakeDrivers();
    fakes().fail["sulvat_voltDcRang"] = -9;
    EXPECT_EQ(measSetURange(5.0), 0);
    EXPECT_TRUE(host().statusLines.empty());
    // The other range calls go through the status check.
    fakes().fail["sulvat_fresRang"] = -9;
    EXPECT_EQ(measSetResRange(500.0), -9);
    EXPECT_EQ(host().statusLines, std::vector<std::string>{"p_sulvat_resRang <sulvat -9>"});
}

TEST_F(Rules, ConfigMultimeterSetsUpTheMakersMetersOnly) {
    const std::vector<std::string> sulvat = {
        "sulvat_measure_Q(14,2)",       "sulvat_voltDcRang(14,0,10)", "sulvat_voltDcNplc(14,100)",
        "sulvat_currDcRang(14,0,0.01)", "sulvat_currDcNplc(14,100)",  "sulvat_configure(14,2)",
        "sulvat_trigCoun(14,1)",        "sulvat_trigDel(14,0,0)",     "sulvat_trigSour(14,0,0)"};
    open({kDMM1, kM_DMM1});
    fakes().fail["sulvat_measure_Q"] = -1; // no status is examined
    configMultimeter(2);
    EXPECT_EQ(calls(), sulvat);
    EXPECT_TRUE(host().statusLines.empty());

    clearSiState();
    open({kM_DMM1});
    installFakeDrivers();
    configMultimeter(5);
    ASSERT_EQ(calls().size(), 9u);
    EXPECT_EQ(calls().front(), "tarnel_measure_Q(15,5)");
    EXPECT_EQ(calls()[5], "tarnel_configure(15,5)");

    clearSiState();
    open({kHP1412, kHP3458, kDMM});
    installFakeDrivers();
    configMultimeter(2);
    EXPECT_TRUE(calls().empty());
}

// Waits a caller put off are slept before any call to a multimeter.
TEST_F(Rules, PutOffWaitsAreSleptBeforeTheMultimeterIsCalled) {
    open({kDMM1});
    const ortav::clock::CoalescedWaits together;
    double reading = 0.0;
    const std::pair<const char *, std::function<void()>> ops[] = {
        {"configMultimeter", [] { configMultimeter(2); }},
        {"measSetResRange", [] { measSetResRange(1000.0); }},
        {"measSetURange", [] { measSetURange(1.0); }},
        {"measureR", [&reading] { measureR(&reading); }},
        {"closeMultimeter", [] { closeMultimeter(); }},
    };
    for (const auto &[name, op] : ops) {
        const double before = ortav::clock::now();
        Delay(0.05);
        fakes().times.clear();
        op();
        ASSERT_FALSE(fakes().times.empty()) << name;
        EXPECT_GE(fakes().times.front() - before, 0.05 - 1e-12) << name;
    }
}

TEST_F(Rules, CloseMultimeterClosesOneSessionThenTheCarrier) {
    open({kDMM1, kDMM});
    viNM = kNM;
    closeMultimeter();
    EXPECT_EQ(calls(), (std::vector<std::string>{"sulvat_close(14)", "carrik_close(16)"}));
    EXPECT_EQ(viDMM1, 0u);
    EXPECT_EQ(viDMM, kDMM);
    EXPECT_EQ(viNM, 0u);
}

} // namespace
