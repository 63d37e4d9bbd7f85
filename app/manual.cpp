// Manual control: reset, the channel and the mode of the verification sheet,
// the hardware version.
#include "front_panel.h"

#include "delay.h"
#include "ortav.h"
#include "p_ortav.h"
#include "userint.h"
#include "verification_chart.h"

int ResetCB(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT)
        return 0;
    if (mvi != 0) {
        lastStatus = ortav_reset(mvi);
        if (lastStatus != 0)
            error("ortav_reset (mvi)", lastStatus);
        if (lastStatus < 0) {
            SetWaitCursor(0);
            return 0;
        }
    }
    DefaultCtrl(mp, MP_MSG);
    return 0;
}

int setChan(int panel, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT)
        return 0;
    int chan = 1;
    GetCtrlVal(panel, PP_CHAN, &chan);
    if (mvi != 0) {
        lastStatus = ortav_switch(mvi, 0, 0);
        if (lastStatus < 0)
            return 0;
        lastStatus = ortav_switch(mvi, static_cast<ViUInt16>(chan), 1);
        if (lastStatus < 0)
            return 0;
        Delay(0.05);
    }
    SetActiveCtrl(panel, PP_R_Z);
    return 0;
}

int setModeCB(int panel, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT)
        return 0;
    short mode = 1;
    GetCtrlVal(panel, PP_MODE, &mode);
    modeChanged = 1;
    bool resistance = mode == 1;
    SetCtrlVal(panel, PP_ED_IZM, resistance ? "Ом" : "мА");
    SetCtrlVal(panel, PP_ED_IZM_2, resistance ? "Ом" : "В");
    SetCtrlAttribute(panel, PP_TABLE_R, ATTR_VISIBLE, resistance ? 1 : 0);
    SetCtrlAttribute(panel, PP_TABLE_I, ATTR_VISIBLE, resistance ? 0 : 1);
    ortav::calib::verificationChartFollowMode(mode);
    return 0;
}

int vavChgU_Z(int panel, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT || event == EVENT_VAL_CHANGED)
        SetActiveCtrl(panel, PP_SET);
    return 0;
}

int vavChgU_I(int panel, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT || event == EVENT_VAL_CHANGED)
        SetActiveCtrl(panel, PP_INPUT);
    return 0;
}

int verCB(int panel, int control, int event, void *, int, int) {
    if (event == EVENT_COMMIT)
        GetCtrlVal(panel, control, &hardVersion);
    return 0;
}
