// What the front panel calls of the parts built beside it: calibration and
// verification (app/calib), the reference multimeters (si/) and the integrity
// check of ortav_math (util/).
#pragma once

#include "ortav.h"

// ---- calibration and verification -------------------------------------------------

extern int autoMeasure;    // readings from the multimeter (AUTO_POV of MP)
extern int autoPov;        // SET runs the automatic verification (AUTO_POV of PP)
extern double ambientTemp; // degrees Celsius (TEMPERATURE of PP)

void DisplayFlash(DeviceData *rec);
int Calibrate(int chan);
// Back to a fresh start's protocol file (closed) and switches.
void calibReset();

#define LINKED_CTRL_CB(name)                                                                       \
    int name(int panel, int control, int event, void *callbackData, int eventData1, int eventData2)
LINKED_CTRL_CB(tabCB);
LINKED_CTRL_CB(readFlash);
LINKED_CTRL_CB(writeFlash);
LINKED_CTRL_CB(defaultFlash);
LINKED_CTRL_CB(selectR);
LINKED_CTRL_CB(selectN);
LINKED_CTRL_CB(inputVal);
LINKED_CTRL_CB(closePopup);
LINKED_CTRL_CB(setP);
LINKED_CTRL_CB(inputP);
LINKED_CTRL_CB(auto_pov);
LINKED_CTRL_CB(auto_measureCB);
LINKED_CTRL_CB(temparatureCB);
LINKED_CTRL_CB(decisionRuleCB);
LINKED_CTRL_CB(meterPeriodCB);
LINKED_CTRL_CB(selFName);
LINKED_CTRL_CB(writeLogCB);
LINKED_CTRL_CB(cancelP);
LINKED_CTRL_CB(chartCB);
LINKED_CTRL_CB(saveChartCB);
LINKED_CTRL_CB(certificateCB);

// ---- reference multimeters -----------------------------------------------------------

void selectHP();
int hasMultimeter();
void closeMultimeter();
