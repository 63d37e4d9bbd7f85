// Calibration and verification on the panels: the coefficient tables of the
// calibration sheet CP, the calibration procedure with the measured-value popup
// DP, the verification sheet PP with its automatic run, and the protocol (file
// and the CHLP view). Everything runs inside callbacks on the one UI thread.
#pragma once

#include "ortav.h"

// ---- state --------------------------------------------------------------------------

extern int autoMeasure;    // readings from the multimeter (AUTO_POV of MP)
extern int autoPov;        // SET runs the automatic verification (AUTO_POV of PP)
extern double ambientTemp; // degrees Celsius (TEMPERATURE of PP)
extern int popupResult;    // DP: 0 waiting, 1 entered, -1 cancelled
extern int povFailed;      // a point of the running automatic verification failed
extern int logFile;        // protocol file: 0 not opened yet, -1 the open failed
extern char logFileName[260];

// Back to the state of a fresh start: closes the protocol file and resets the
// switches above (for harnesses that start the program more than once).
void calibReset();

// ---- coefficient tables -----------------------------------------------------------------

// No module (VI_ERROR_INV_OBJECT), no valid session record (VI_ERROR_INV_SETUP),
// else 0 with the record.
ViStatus moduleCheck(DeviceData **rec);
void DisplayFlash(DeviceData *rec);
// Empties both tables: no module's values are shown (an open that failed).
void clearCoeffTables();
// Tables to the record; computes the current gain and offset. Refuses (with a
// message naming the cell, record untouched) cells that hold no usable number.
int setFlash(DeviceData *rec);

// ---- calibration -----------------------------------------------------------------------

int Calibrate(int chan);

// ---- verification -------------------------------------------------------------------------

double defPermDev(double R);
int setupPresult(short mode, short chan);
// The automatic branch of SET: both channels, resistance then current.
int autoVerification();

// ---- protocol ---------------------------------------------------------------------------

int WriteLOG(int file, const char *format, ...) __attribute__((format(printf, 2, 3)));
int SetupChlp(int *file, const char *name);
// Waits until the protocol lines and results rows written so far are on the
// disk; false (and the operator told) when a sync failed. Before a verdict.
bool protocolOnDisk();
// An automatic run holds the protocol file's lock from its start to its end
// (manual lines take it for each line); false: another run writes to the file.
bool lockProtocolForRun();
void unlockProtocolAfterRun();
int writeResults(short chan, double set, double meas, double diff, int failed);

// ---- callbacks --------------------------------------------------------------------------

#define CALIB_CTRL_CB(name)                                                                        \
    int name(int panel, int control, int event, void *callbackData, int eventData1, int eventData2)
CALIB_CTRL_CB(readFlash);
CALIB_CTRL_CB(writeFlash);
CALIB_CTRL_CB(defaultFlash);
CALIB_CTRL_CB(selectR);
CALIB_CTRL_CB(selectN);
CALIB_CTRL_CB(inputVal);
CALIB_CTRL_CB(closePopup);
CALIB_CTRL_CB(setP);
CALIB_CTRL_CB(inputP);
CALIB_CTRL_CB(tabCB);
CALIB_CTRL_CB(auto_pov);
CALIB_CTRL_CB(auto_measureCB);
CALIB_CTRL_CB(temparatureCB);
CALIB_CTRL_CB(decisionRuleCB);
CALIB_CTRL_CB(meterPeriodCB);
CALIB_CTRL_CB(selFName);
CALIB_CTRL_CB(writeLogCB);
CALIB_CTRL_CB(cancelP);
