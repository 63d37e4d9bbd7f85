// The front panel's spine: start-up, the event loop with its exit question,
// the menu, the About panel and closing everything at the end.
#include "front_panel.h"
#include "history_window.h"
#include "results_recording.h"

#include "carrik.h"
#include "instruments.h"
#include "linked_parts.h"
#include "long_run.h"
#include "ortav.h"
#include "p_ortav.h"
#include "panels.h"
#include "userint.h"
#include "visa_library.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

// ---- application-wide state -------------------------------------------------------

int mp = 0;
int aboutPanel = 0, chlpPanel = 0, cpPanel = 0, dpPanel = 0, ppPanel = 0, stPanel = 0;
int tabCtrl = 0;
int exitFlag = 0;
ViSession mvi = 0;
ViSession carrierSession = 0;
int mezonin[4] = {0, 0, 0, 0};
double IFix[2] = {0.0, 0.0};
short NFix[2] = {0, 0};
double nominalR[18] = {};
double calCurrent[4] = {0.0, 0.0, 0.0, 0.0};
int hardVersion = 2;
ViInt16 carrierFrameLA = 0;
ViInt16 carrierSlot = 0;
ViStatus lastStatus = 0;
int modeChanged = 1;
int sftResponse = 0;

const char *const kProgramVersion = "1.7.0";

namespace {
bool g_simulated = true;
std::string g_benchName;
} // namespace

bool simulatedBench() {
    return g_simulated;
}

// ---- command line -------------------------------------------------------------------------

int parseCommandLine(int argc, char *argv[], StartOptions &options) {
    for (int i = 1; i < argc; ++i) {
        const char *a = argv[i];
        if (std::strcmp(a, "--bench") == 0) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "p_ortav: --bench needs a file name\n");
                return -1;
            }
            options.benchFile = argv[++i];
        } else if (std::strncmp(a, "--bench=", 8) == 0) {
            options.benchFile = a + 8;
        }
    }
    const char *visa = std::getenv("ORTAV_VISA_LIBRARY");
    if (visa != nullptr && *visa != '\0')
        options.visaLibrary = visa;
    return 0;
}

// The bench file goes to the simulated libraries through the environment, so
// that every one of them (VISA, carrier, multimeters) sees the same bench.
static int chooseBench(int argc, char *argv[]) {
    StartOptions options;
    if (parseCommandLine(argc, argv, options) != 0)
        return -1;
    if (options.benchFile != nullptr)
        setenv("ORTAV_BENCH", options.benchFile, 1);
    if (!ortav::visa::selectFromArgs(argc, argv)) {
        // The program still starts (nothing can be found, the LED stays off),
        // but the operator is told why.
        std::fprintf(stderr, "p_ortav: %s\n", ortav::visa::error().c_str());
        MessagePopup("ORTAV", ("Библиотека VISA не загружена:\n" + ortav::visa::error()).c_str());
    }
    g_simulated = ortav::visa::isSimulated();
    g_benchName = ortav::visa::benchName();
    if (g_simulated) {
        if (auto bad = ortav::visa::benchError()) {
            std::fprintf(stderr, "p_ortav: %s\n", bad->c_str());
            MessagePopup("ORTAV", ("Ошибка в описании стенда:\n" + *bad).c_str());
            return -1;
        }
    }
    return 0;
}

// The band's text, the bench's name cut to what the band shows.
std::string simulatedBandText(const std::string &benchName) {
    constexpr std::size_t kShown = 16; // characters of the name that fit the band
    std::string name;
    std::size_t chars = 0;
    for (std::size_t i = 0; i < benchName.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(benchName[i]);
        if ((c & 0xC0) != 0x80 && ++chars > kShown) {
            name += "…";
            break;
        }
        name += benchName[i];
    }
    return name.empty() ? "ИМИТАЦИЯ стенда" : "ИМИТАЦИЯ: стенд " + name;
}

static void markSimulated() {
    SetCtrlAttribute(mp, MP_SIM_BAND, ATTR_VISIBLE, g_simulated ? 1 : 0);
    if (!g_simulated)
        return;
    std::string title = "ORTAV — имитация стенда";
    if (!g_benchName.empty())
        title += " (" + g_benchName + ")";
    SetPanelAttribute(mp, ATTR_TITLE, title.c_str());
    SetCtrlVal(mp, MP_SIM_BAND, simulatedBandText(g_benchName).c_str());
}

// ---- start-up --------------------------------------------------------------------------------

int startUp(int argc, char *argv[]) {
    // 1. The run time.
    if (InitCVIRTE(argc, argv) == 0)
        return -1;
    registerPanelResource();
    if (chooseBench(argc, argv) != 0)
        return -1;

    // 2. The panels, top-level, in this order.
    struct {
        int resource;
        int *handle;
    } order[] = {{ABOUT, &aboutPanel}, {ST, &stPanel},     {DP, &dpPanel}, {CP, &cpPanel},
                 {PP, &ppPanel},       {CHLP, &chlpPanel}, {MP, &mp}};
    for (auto &o : order) {
        *o.handle = LoadPanel(0, UIR_FILE, o.resource);
        if (*o.handle < 0)
            return -1;
    }

    // 3. The calibration and verification sheets in the tab control.
    tabCtrl = ConvertCanvasToTab(mp, MP_CANVAS);
    if (tabCtrl < 0)
        return -1;
    cpPanel = InsertPanelAsTabPage(mp, tabCtrl, UIR_FILE, CP);
    ppPanel = InsertPanelAsTabPage(mp, tabCtrl, UIR_FILE, PP);
    if (cpPanel < 0 || ppPanel < 0)
        return -1;
    markSimulated();
    // Every run from here on goes into the results database.
    ortav::recording::start();

    // 4. Waits of long runs keep the windows drawn from now on.
    installResponsiveWaits();
    DisplayPanel(mp);
    // 5, 6. The integrity line of ortav_math (DisplayAbout repeats it).
    showMathIntegrity();
    DisplayAbout();
    // 7. Locked or silent resources can take seconds: the operator sees why.
    longRunBegin("\nПоиск инструментов…\n", 0, false);
    FindVISAinstruments();
    longRunEnd();
    // 8. No module is open yet: IFix still holds zeros.
    for (int point = 1; point <= 2; ++point)
        for (int chan = 1; chan <= 2; ++chan)
            calCurrent[(point - 1) * 2 + (chan - 1)] = IFix[point - 1];
    // 9.
    SelectORTAV();
    // 10.
    if (mvi != 0)
        selectHP();
    // 11.
    SetCtrlAttribute(mp, MP_AUTO_POV, ATTR_VISIBLE, hasMultimeter() ? 1 : 0);
    SetCtrlAttribute(ppPanel, PP_AUTO_POV, ATTR_DIMMED, hasMultimeter() ? 0 : 1);
    // 12.
    setLed();
    return 0;
}

int mainLoopStep() {
    WaitForSystemEvents();
    if (exitFlag == 0)
        return 0;
    if (ConfirmPopup("ORTAV", "Закончить работу панели ORTAV ?") == 1)
        return 1;
    exitFlag = 0;
    return 0;
}

void shutDown() {
    ortav::history::closeHistoryWindow();
    ortav::recording::stop();
    closeAll(1);
    for (int *h : {&aboutPanel, &stPanel, &dpPanel, &mp}) {
        DiscardPanel(*h);
        *h = 0;
    }
    // The sheets went with the main panel.
    cpPanel = ppPanel = 0;
    tabCtrl = 0;
    ProcessSystemEvents();
}

int ortavMain(int argc, char *argv[]) {
    if (startUp(argc, argv) != 0)
        return -1;
    while (mainLoopStep() == 0) {
    }
    shutDown();
    return 0;
}

void closeAll(int full) {
    if (mvi != 0) {
        ortav_close(mvi); // nothing to do about a failure at this point
        mvi = 0;
    }
    if (carrierSession != 0) {
        carrik_close(carrierSession);
        carrierSession = 0;
    }
    if (full != 0) {
        closeMultimeter();
        DefaultPanel(mp);
    }
}

// ---- About ------------------------------------------------------------------------------------

int DisplayAbout() {
    char driverRev[256] = "";
    char instrRev[256] = "";
    ortav_revision_query(mvi, driverRev, instrRev);
    SetCtrlVal(aboutPanel, ABOUT_DRVR_VERSION, driverRev);
    SetCtrlVal(aboutPanel, ABOUT_SOFT_VERSION, kProgramVersion);
    showMathIntegrity();
    return 0;
}

// ---- panel, control and menu callbacks of this unit ------------------------------------------

int CloseCB(int, int event, void *, int, int) {
    if (event == EVENT_CLOSE)
        exitFlag = 1;
    return 0;
}

int exitCB(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT)
        exitFlag = 1;
    return 0;
}

int ClosePanelCB(int panel, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) {
        HidePanel(panel);
        DisplayPanel(mp);
    }
    return 0;
}

int ClosePopupCB(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT)
        RemovePopup(1);
    return 0;
}

int MenuCallback(int, int menuItem, void *, int) {
    switch (menuItem) {
    case MENU_INSTR_SELECT:
        SelectORTAV();
        break;
    case MENU_INSTR_SELECT_HP:
        selectHP();
        SetCtrlAttribute(mp, MP_AUTO_POV, ATTR_VISIBLE, hasMultimeter() ? 1 : 0);
        SetCtrlAttribute(ppPanel, PP_AUTO_POV, ATTR_DIMMED, hasMultimeter() ? 0 : 1);
        setLed();
        break;
    case MENU_INSTR_OSNOWN:
        DisplayPanel(mp);
        break;
    case MENU_INSTR_EXIT:
        exitFlag = 1;
        break;
    case MENU_EXE_CALIBR:
        Calibrate(0);
        break;
    // The same operations as the RESET and SELFTEST buttons of MP: an operator
    // who finds them in the menu expects them to work.
    case MENU_EXE_RESET:
        ResetCB(mp, MP_RESET, EVENT_COMMIT, nullptr, 0, 0);
        break;
    case MENU_EXE_SELFTEST:
        SelftestCB(mp, MP_SELFTEST, EVENT_COMMIT, nullptr, 0, 0);
        break;
    case MENU_HELP_ABOUT:
        DisplayPanel(aboutPanel);
        break;
    case MENU_HELP_HISTORY:
        ortav::history::showHistoryWindow();
        break;
    default:
        break;
    }
    return 0;
}
