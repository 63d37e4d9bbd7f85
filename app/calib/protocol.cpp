// The verification protocol: the file (appended, code page 1251) and its view,
// the text box LOG of the popup CHLP.
#include "calib.h"

#include "disk_sync.h"

#include "front_panel.h"
#include "p_ortav.h"
#include "protocol_file.h"
#include "protocol_text.h"
#include "record_failure.h"
#include "reference_uncertainty.h"
#include "result_files.h"
#include "userint.h"
#include "visa_library.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <strings.h>

int logFile = 0;
char logFileName[260] = "ortav.log";

using namespace ortav::calib;

namespace {
bool g_runHoldsLock = false;
} // namespace

bool lockProtocolForRun() {
    g_runHoldsLock = lockProtocol(logFile);
    return g_runHoldsLock;
}

void unlockProtocolAfterRun() {
    if (g_runHoldsLock)
        unlockProtocol(logFile);
    g_runHoldsLock = false;
}

void calibReset() {
    unlockProtocolAfterRun();
    if (logFile > 0)
        closeProtocol(logFile);
    logFile = 0;
    std::snprintf(logFileName, sizeof logFileName, "%s", "ortav.log");
    autoPov = autoMeasure = povFailed = popupResult = 0;
    ambientTemp = 20.0;
    ortav::calib::uncertaintySettings() = {};
}

int WriteLOG(int file, const char *format, ...) {
    char buffer[kProtocolBufferSize];
    int n = 0;
    {
        CNumbers numbers;
        va_list args;
        va_start(args, format);
        n = std::vsnprintf(buffer, sizeof buffer, format, args);
        va_end(args);
    }
    if (n < 0)
        buffer[0] = '\0';
    if (file > 0) {
        // Another program's run may hold the file: the line waits for nobody.
        int why = 0;
        const bool locked = g_runHoldsLock || lockProtocol(file);
        if (!locked)
            resultNotRecorded(logFileName, kLockedElsewhere);
        else if (!writeProtocol(file, buffer, &why))
            resultNotRecorded(logFileName, why);
        if (locked && !g_runHoldsLock)
            unlockProtocol(file);
    }
    const std::size_t len = std::strlen(buffer);
    if (len > 0 && buffer[len - 1] == '\n')
        buffer[len - 1] = '\0';
    int status = InsertTextBoxLine(chlpPanel, CHLP_LOG, -1, buffer);
    int lines = 0, visible = 0;
    GetNumTextBoxLines(chlpPanel, CHLP_LOG, &lines);
    GetCtrlAttribute(chlpPanel, CHLP_LOG, ATTR_VISIBLE_LINES, &visible);
    status = SetCtrlAttribute(chlpPanel, CHLP_LOG, ATTR_FIRST_VISIBLE_LINE,
                              std::max(0, lines - visible));
    return status;
}

bool protocolOnDisk() {
    int why = 0;
    if (ortav::calib::waitForDisk(&why))
        return true;
    resultNotRecorded(logFileName, why);
    return false;
}

int SetupChlp(int *file, const char *name) {
    clearRecordFailure();
    *file = openProtocol(name);
    if (*file == -1)
        MessagePopup("Ошибка открытия файла протокола.",
                     "Сообщения будут выводиться только на экран");
    ResetTextBox(chlpPanel, CHLP_LOG, "");
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    WriteLOG(*file, kHeadingDateTime, dateText(local).c_str(), timeText(local).c_str());
    WriteLOG(*file, "%s", kHeadingTitle);
    if (ortav::visa::isSimulated())
        WriteLOG(*file, kHeadingSimulated, ortav::visa::benchName().c_str());
    return 0;
}

int writeResults(short chan, double set, double meas, double diff, int failed) {
    short mode = 1;
    GetCtrlVal(ppPanel, PP_MODE, &mode);
    if (modeChanged) {
        modeChanged = 0;
        WriteLOG(logFile, "%s", mode == 1 ? kColumnsR : kColumnsI);
    }
    const char *verdict = failed ? kVerdictFailed : kVerdictPassed;
    if (mode == 1)
        WriteLOG(logFile, kLineR, chan, set, meas, diff, percentOf(diff, set),
                 percentOf(defPermDev(set), set), verdict);
    else
        WriteLOG(logFile, kLineI, chan, set, meas, diff, percentOf(diff, set), verdict);
    if (autoPov && failed)
        povFailed = 1;
    return 0;
}

int selFName(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT)
        return 0;
    char path[260] = "";
    if (FileSelectPopup("", "*.log", "*.log", "Файл протокола", VAL_OK_BUTTON, 0, 0, 1, 1, path,
                        sizeof path) <= 0)
        return 0;
    if (logFileName[0] != '\0' && strcasecmp(logFileName, path) != 0) {
        if (logFile != 0)
            closeProtocol(logFile);
        std::snprintf(logFileName, sizeof logFileName, "%s", path);
        SetupChlp(&logFile, logFileName);
    }
    SetCtrlVal(ppPanel, PP_FILE_NAME, path);
    return 0;
}

int writeLogCB(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT)
        InstallPopup(chlpPanel);
    return 0;
}

int cancelP(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT)
        RemovePopup(0);
    return 0;
}
