// The front panel's application-wide state and operations: start-up and main
// loop, the status line, the connection LED, manual control and the callbacks of
// the panels. Everything runs on the one UI thread.
#pragma once

#include "visatype.h"

#include <cstdint>
#include <string>

// ---- application-wide state -----------------------------------------------------

extern int mp;                                                        // main panel
extern int aboutPanel, chlpPanel, cpPanel, dpPanel, ppPanel, stPanel; // ABOUT, CHLP, CP, DP, PP, ST
extern int tabCtrl;              // the tab control made from CANVAS of MP
extern int exitFlag;             // 1: the operator asked to leave
extern ViSession mvi;            // module session; 0: none
extern ViSession carrierSession; // carrier session; 0: none
extern int mezonin[4];           // mezzanine type at carrier positions 1..4; 0: empty
extern double IFix[2];           // the two current calibration points, amperes
extern short NFix[2];            // their DAC codes
extern double nominalR[18];      // the driver's nominal resistor table
extern double calCurrent[4];     // currents shown in TABLE_I of CP, (point-1)*2 + (channel-1)
extern int hardVersion;          // hardware version shown in VER of MP
extern ViInt16 carrierFrameLA;   // crate address shown in CARRIER_LA of MP (kept when unread)
extern ViInt16 carrierSlot;      // slot shown in CARRIER_SLOT of MP (kept when unread)
extern ViStatus lastStatus;      // status of the last driver call from a panel callback
extern int modeChanged;          // set whenever MODE of PP is committed
extern int sftResponse;          // self-test answer: -1 waiting, 0 continue, 1 stop

extern const char *const kProgramVersion; // "1.7.0"

// ---- start-up, main loop, shutdown ------------------------------------------------

struct StartOptions {
    const char *benchFile = nullptr;   // --bench FILE
    const char *visaLibrary = nullptr; // a real VISA library (ORTAV_VISA_LIBRARY)
};

// Reads the program's own options (--bench FILE) and the environment. Returns
// 0, or -1 with a message on stderr for a malformed command line.
int parseCommandLine(int argc, char *argv[], StartOptions &options);

// Start-up steps up to the event loop. 0, or -1 when the run time cannot be
// started or a panel cannot be loaded.
int startUp(int argc, char *argv[]);
// One round of the event loop: waits for and processes events, then acts on an
// exit request. Returns 1 when the operator confirmed leaving.
int mainLoopStep();
// closeAll(1) and the panels discarded.
void shutDown();
// The whole program: startUp, the event loop, shutDown. 0, or -1 as startUp.
int ortavMain(int argc, char *argv[]);

// Whether this run drives the simulated bench (shown in the main panel's title
// and in a coloured band on it).
bool simulatedBench();
std::string simulatedBandText(const std::string &benchName);

void closeAll(int full);
int DisplayAbout();

// ---- status and manual control -------------------------------------------------------

// Reports a driver status on the status line: the driver's text, a space and
// the call text in red; status 0 only turns the line grey.
void error(const char *callText, ViStatus status);
// How many texts the multimeter layer has put on the status line, and the
// last one: a caller compares the count from before a reading to tell the
// multimeter's own reason for a failure from whatever the line said before.
unsigned multimeterStatusLines();
std::string multimeterStatusText();
void setLed();
// The driver's question during the self-test: 1 stop, 0 continue.
ViInt16 error_handle(ViSession vi, ViInt16 channel, ViInt16 code, ViChar message[]);

// ---- the integrity line of ortav_math (step 5 of start-up, repeated by DisplayAbout) ----
// The check of the file of ortav_math the process has mapped (as the dynamic
// loader names it); the search of the working folder and the search path only
// when the loader cannot say.
struct MathIntegrity {
    std::string file; // empty: none found
    int result = -1;  // CheckFileInternalCRC32: 0 intact, 1 modified, -1 not checkable
    uint32_t stored = 0, computed = 0, whole = 0;
};
MathIntegrity checkMathIntegrity();
// The check showMathIntegrity made last (made now if none was).
const MathIntegrity &lastMathIntegrity();
// "intact", "modified" or "unchecked".
const char *mathIntegrityName(const MathIntegrity &m);
void showMathIntegrity();

// ---- callbacks ------------------------------------------------------------------------------

#define CTRL_CB(name)                                                                              \
    int name(int panel, int control, int event, void *callbackData, int eventData1, int eventData2)

int CloseCB(int panel, int event, void *callbackData, int eventData1, int eventData2);
int MenuCallback(int menuBar, int menuItem, void *callbackData, int panel);
CTRL_CB(exitCB);
CTRL_CB(ClosePanelCB);
CTRL_CB(ClosePopupCB);
CTRL_CB(selMezonin);
CTRL_CB(SelftestCB);
CTRL_CB(stopSelftest);
CTRL_CB(continueSelftest);
CTRL_CB(ResetCB);
CTRL_CB(messageCB);
CTRL_CB(setChan);
CTRL_CB(setModeCB);
CTRL_CB(vavChgU_Z);
CTRL_CB(vavChgU_I);
CTRL_CB(verCB);
CTRL_CB(assetCB); // the asset number committed: remembered for the carrier and position
