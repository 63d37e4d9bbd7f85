#include "record_failure.h"

#include "front_panel.h"
#include "p_ortav.h"
#include "result_files.h"
#include "userint.h"

namespace ortav::calib {

namespace {
bool g_lost = false;
RecordFailure g_first;
} // namespace

void resultNotRecorded(const std::string &file, int error) {
    resultNotRecorded(file, reasonText(error));
}

void resultNotRecorded(const std::string &file, const std::string &reason) {
    if (g_lost)
        return; // told once; the run stops at its next point anyway
    g_lost = true;
    g_first = {file, reason};
    const std::string text = "Результаты не записаны в файл " + file + ": " + g_first.reason;
    SetCtrlVal(mp, MP_MSG, text.c_str());
    SetCtrlAttribute(mp, MP_MSG, ATTR_TEXT_COLOR, VAL_RED);
    MessagePopup("Ошибка записи результатов", text.c_str());
}

bool resultsLost() {
    return g_lost;
}

const RecordFailure &firstRecordFailure() {
    return g_first;
}

std::string recordFailureText() {
    return g_lost ? g_first.file + ": " + g_first.reason : std::string();
}

void clearRecordFailure() {
    g_lost = false;
    g_first = {};
}

} // namespace ortav::calib
