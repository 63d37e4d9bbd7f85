// Opening the reference multimeter of each kind, the search over all kinds,
// the function setup before a series of readings, and the close at the end.
#include "delay.h"
#include "si.h"
#include "si_host.h"
#include "visa.h"

#include <string>

namespace {

// A negative status from siCheck ends the calling sequence.
#define SI_STEP(call, text)                                                                        \
    if (siCheck((call), text) < 0)                                                                 \
        return siStatus;

void closeSession(ViSession &session, SiSessionFn close) {
    if (session != 0 && close)
        close(session);
    session = 0;
}

// The waiting message of a kind.
void showOpening(const char *kind) {
    const std::string text =
        std::string("\nПодождите,\n\nидет открытие инструмента ") + kind + "\n";
    msgpDisplay(text.c_str());
}

// End of every open: the message goes, the LED tells whether the session is open.
int finishOpen(ViSession session, int result) {
    msgpHide();
    siHostLedColor(session != 0 ? SI_LED_OPEN : SI_LED_NONE);
    return result;
}

int hp1412Sequence() {
    if (!p_hpe1412_init)
        SI_STEP(loadLibs(hpe1412_MODEL_CODE), "loadLibs(hpe1412_MODEL_CODE)");
    SI_STEP(p_hpe1412_init(hp1412->Address, VI_ON, VI_ON, &viHP1412),
            "p_hpe1412_init (hp1412->Address, VI_ON, VI_ON, &viHP1412)");
    SI_STEP(p_hpe1412_voltDcNplc(viHP1412, 100.0), "p_hpe1412_voltDcNplc (viHP1412, 100.0)");
    SI_STEP(p_hpe1412_currDcNplc(viHP1412, 100.0), "p_hpe1412_currDcNplc (viHP1412, 100.0)");
    SI_STEP(p_hpe1412_voltDcRang(viHP1412, 0, 10.0),
            "p_hpe1412_voltDcRang (viHP1412, VI_FALSE, hpe1412_VOLT_RANG_10V)");
    SI_STEP(p_hpe1412_currDcRang(viHP1412, 0, 0.01),
            "p_hpe1412_currDcRang (viHP1412, VI_FALSE, hpe1412_CURR_DC_RANG_10MA)");
    return siStatus;
}

int hp3458Sequence(const char *address) {
    SI_STEP(p_hp3458a_init(address, VI_ON, VI_ON, &viHP3458),
            "p_hp3458a_init (address, VI_ON, VI_ON, &viHP3458)");
    SI_STEP(p_hp3458a_nplc(viHP3458, 10.0), "p_hp3458a_nplc (viHP3458, 10.0)");
    SI_STEP(p_hp3458a_voltDcRang(viHP3458, 1, 10.0), "p_hp3458a_voltDcRang (viHP3458, 1, 10.)");
    SI_STEP(p_hp3458a_currDcRang(viHP3458, 1, 0.01), "p_hp3458a_currDcRang (viHP3458, 1, 10e-3)");
    return siStatus;
}

int dmmSequence() {
    SI_STEP(p_mervd_init(dmm->Address, VI_ON, VI_ON, &viDMM),
            "p_mervd_init (dmm->Address, VI_ON, VI_ON, &viDMM)");
    SI_STEP(p_mervd_currDcNplc(viDMM, 100.0), "p_mervd_currDcNplc (viDMM, 100.0)");
    SI_STEP(p_mervd_voltDcNplc(viDMM, 100.0), "p_mervd_voltDcNplc (viDMM, 100.0)");
    SI_STEP(p_mervd_voltDcRang(viDMM, 1, 10.0), "p_mervd_voltDcRang (viDMM, 1, 10.)");
    SI_STEP(p_mervd_currDcRang(viDMM, 0, 0.01), "p_mervd_currDcRang (viDMM, 0, 10e-3)");
    return siStatus;
}

// The mezzanine multimeter keeps its status to itself: siStatus stays as it was.
int mDmm1Sequence() {
    ViStatus status = si::p_carrik_init(dmm->Address, VI_ON, VI_ON, &viNM);
    siReport(status, "p_carrik_init(dmm->Address, VI_ON, VI_ON, &viNM)");
    if (status < 0)
        return status;
    status = p_tarnel_init(dmm->Address, VI_ON, VI_ON, &viM_DMM1);
    siReport(status, "p_tarnel_init (dmm->Address, VI_ON, VI_ON, &viM_DMM1)");
    if (status < 0)
        return status;
    status = p_tarnel_connect(viM_DMM1, viNM, static_cast<ViUInt16>(dmm->Meznum), VI_ON, VI_ON);
    siReport(status, "p_tarnel_connect (viM_DMM1, viNM, dmm->Meznum, VI_ON, VI_ON)");
    return status;
}

} // namespace

int SelectHP1412() {
    closeSession(viHP1412, p_hpe1412_close);
    hp1412 = SelectInstrument("Выберите HP1412", hpe1412_MODEL_CODE);
    if (!hp1412)
        return 1;
    showOpening("HP1412");
    const int result = hp1412Sequence();
    return finishOpen(viHP1412, result);
}

int SelectHP3458() {
    closeSession(viHP3458, p_hp3458a_close);
    ViSession rm = 0;
    ViStatus status = viOpenDefaultRM(&rm);
    if (status < 0)
        return status;
    ViChar address[256] = {};
    status = viFindRsrc(rm, "GPIB0::22::INSTR", VI_NULL, VI_NULL, address);
    viClose(rm); // only the name is needed; the driver opens its own session
    if (status != 0)
        return status;
    if (!p_hp3458a_init && loadLibs(hp3458a_MODEL_CODE) != 0)
        return 1;
    showOpening("HP3458");
    const int result = hp3458Sequence(address);
    return finishOpen(viHP3458, result);
}

int SelectDMM() {
    closeSession(viDMM, p_mervd_close);
    dmm = SelectInstrument("Выберите DMM1", mervd_MODEL_CODE);
    if (!dmm)
        return 1;
    if (!p_mervd_init && loadLibs(mervd_MODEL_CODE) != 0)
        return 1;
    showOpening("DMM");
    const int result = dmmSequence();
    return finishOpen(viDMM, result);
}

int SelectDMM1() {
    closeSession(viDMM1, p_sulvat_close);
    dmm = SelectInstrument("Выберите ЦMM1", sulvat_MODEL_CODE);
    if (!dmm)
        return 1;
    if (loadLibs(sulvat_MODEL_CODE) != 0)
        return 1;
    showOpening("ЦMM1");
    // Its status is not examined: the session, or none, shows in viDMM1 and on the LED.
    p_sulvat_init(dmm->Address, VI_ON, VI_ON, &viDMM1);
    return finishOpen(viDMM1, 0);
}

int SelectM_DMM1() {
    closeSession(viM_DMM1, p_tarnel_close);
    // The carrier session of the previous opening goes with it.
    closeSession(viNM, si::p_carrik_close);
    dmm = SelectInstrument("Выберите МЦMM", tarnel_MODEL_CODE);
    if (!dmm)
        return 1;
    if (loadLibs(tarnel_MODEL_CODE) != 0 || loadLibs(carrik_MODEL_CODE) != 0)
        return 1;
    showOpening("МЦMM");
    const int result = mDmm1Sequence();
    return finishOpen(viM_DMM1, result);
}

void selectHP() {
    ortav::clock::settleWaits();
    clearLoadLibsFailures();
    int (*const kinds[])() = {SelectM_DMM1, SelectHP1412, SelectDMM1, SelectDMM, SelectHP3458};
    for (auto open : kinds)
        if (open() == 0)
            break;
    if (!hasMultimeter()) {
        // With the reason of every driver library that could not be used: a
        // library that is there but lacks an entry point looks like no multimeter.
        std::string text = "Мультиметр не найден";
        for (const std::string &why : loadLibsFailures())
            text += "\n" + why;
        siHostMessage("Панель поверки-калибровки", text.c_str());
    }
}

int hasMultimeter() {
    return viHP1412 != 0 || viHP3458 != 0 || viDMM != 0 || viDMM1 != 0 || viM_DMM1 != 0;
}

void configMultimeter(ViInt16 function) {
    ortav::clock::settleWaits();
    if (viDMM1 != 0) {
        double scratch = 0.0;
        p_sulvat_measure_Q(viDMM1, function, &scratch);
        p_sulvat_voltDcRang(viDMM1, 0, 10.0);
        p_sulvat_voltDcNplc(viDMM1, 100.0);
        p_sulvat_currDcRang(viDMM1, 0, 0.01);
        p_sulvat_currDcNplc(viDMM1, 100.0);
        p_sulvat_configure(viDMM1, function);
        p_sulvat_trigCoun(viDMM1, 1);
        p_sulvat_trigDel(viDMM1, 0, 0.0);
        p_sulvat_trigSour(viDMM1, 0, 0);
    } else if (viM_DMM1 != 0) {
        double scratch = 0.0;
        p_tarnel_measure_Q(viM_DMM1, function, &scratch);
        p_tarnel_voltDcRang(viM_DMM1, 0, 10.0);
        p_tarnel_voltDcNplc(viM_DMM1, 100.0);
        p_tarnel_currDcRang(viM_DMM1, 0, 0.01);
        p_tarnel_currDcNplc(viM_DMM1, 100.0);
        p_tarnel_configure(viM_DMM1, function);
        p_tarnel_trigCoun(viM_DMM1, 1);
        p_tarnel_trigDel(viM_DMM1, 0, 0.0);
        p_tarnel_trigSour(viM_DMM1, 0, 0);
    }
}

void closeMultimeter() {
    ortav::clock::settleWaits();
    if (viHP1412 != 0)
        closeSession(viHP1412, p_hpe1412_close);
    else if (viHP3458 != 0)
        closeSession(viHP3458, p_hp3458a_close);
    else if (viDMM1 != 0)
        closeSession(viDMM1, p_sulvat_close);
    else if (viDMM != 0)
        closeSession(viDMM, p_mervd_close);
    else if (viM_DMM1 != 0)
        closeSession(viM_DMM1, p_tarnel_close);
    if (viNM != 0)
        closeSession(viNM, si::p_carrik_close);
}
