// The self-test popup and the driver's questions during the test.
#include "front_panel.h"
#include "results_recording.h"

#include "delay.h"
#include "ortav.h"
#include "p_ortav.h"
#include "userint.h"

#include <cstring>

int SelftestCB(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT)
        return 0;
    // The popup is modal, but the test processes events while it asks: once is enough.
    static bool running = false;
    if (running)
        return 0;
    running = true;
    char message[ORTAV_MESSAGE_SIZE] = "Самоконтроль завершен успешно";
    ViInt16 code = 0;
    SetCtrlVal(stPanel, ST_MSG, "Идёт самоконтроль.\nЖдите ...");
    SetCtrlAttribute(stPanel, ST_CLOSE, ATTR_DIMMED, 1);
    sftResponse = -1;
    InstallPopup(stPanel);
    ProcessSystemEvents();
    if (mvi != 0) {
        ortav_self_test(mvi, &code, message);
        message[sizeof message - 1] = '\0';
    } else {
        Delay(1.0);
        std::strcpy(message, "Сеанс не открыт");
    }
    SetCtrlVal(stPanel, ST_RESULT, static_cast<int>(code));
    SetCtrlVal(stPanel, ST_MSG, message);
    SetCtrlAttribute(stPanel, ST_CLOSE, ATTR_DIMMED, 0);
    ortav::recording::selfTestEnded(code, message);
    running = false;
    return 0;
}

ViInt16 error_handle(ViSession, ViInt16, ViInt16 code, ViChar message[]) {
    SetCtrlAttribute(stPanel, ST_STOP, ATTR_VISIBLE, 1);
    SetCtrlAttribute(stPanel, ST_CANCEL, ATTR_VISIBLE, 1);
    SetCtrlVal(stPanel, ST_RESULT, static_cast<int>(code));
    SetCtrlVal(stPanel, ST_MSG, message != nullptr ? message : "");
    sftResponse = -1;
    if (WaitUntil("Вопрос самоконтроля", stPanel, [] { return sftResponse != -1; }) == 0)
        sftResponse = 1; // nobody can answer: stop rather than run on unseen
    SetCtrlAttribute(stPanel, ST_STOP, ATTR_VISIBLE, 0);
    SetCtrlAttribute(stPanel, ST_CANCEL, ATTR_VISIBLE, 0);
    return static_cast<ViInt16>(sftResponse);
}

int stopSelftest(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT)
        sftResponse = 1;
    return 0;
}

int continueSelftest(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT)
        sftResponse = 0;
    return 0;
}
