// Placeholders for calibration and verification while app/calib is not in the
// build: every operation does nothing and reports nothing, so the panels can be
// used without them. Built only when app/calib is absent.
#include "linked_parts.h"

int autoMeasure = 0;
int autoPov = 0;
double ambientTemp = 20.0;

void DisplayFlash(DeviceData *) {}
void calibReset() {}
int Calibrate(int) {
    return 0;
}

#define PENDING_CB(name)                                                                           \
    int name(int, int, int, void *, int, int) {                                                    \
        return 0;                                                                                  \
    }
PENDING_CB(tabCB)
PENDING_CB(readFlash)
PENDING_CB(writeFlash)
PENDING_CB(defaultFlash)
PENDING_CB(selectR)
PENDING_CB(selectN)
PENDING_CB(inputVal)
PENDING_CB(closePopup)
PENDING_CB(setP)
PENDING_CB(inputP)
PENDING_CB(auto_pov)
PENDING_CB(auto_measureCB)
PENDING_CB(temparatureCB)
PENDING_CB(selFName)
PENDING_CB(writeLogCB)
PENDING_CB(cancelP)
PENDING_CB(chartCB)
PENDING_CB(saveChartCB)
