// The status check: a driver status as one line on the main panel.
#include "si.h"
#include "si_host.h"

#include <string>

ViSession viHP1412, viHP3458, viDMM, viDMM1, viM_DMM1;
ViSession viNM;
InstrumentEntry *hp1412;
InstrumentEntry *dmm;
ViStatus siStatus;

namespace {

// The driver of the first open multimeter explains the status; with none open
// (or its driver not bound) the text stays empty.
void driverText(ViStatus status, ViChar text[256]) {
    const struct {
        ViSession session;
        SiErrorMessageFn errorMessage;
    } order[] = {{viHP1412, p_hpe1412_error_message},
                 {viHP3458, p_hp3458a_error_message},
                 {viDMM, p_mervd_error_message},
                 {viDMM1, p_sulvat_error_message},
                 {viM_DMM1, p_tarnel_error_message}};
    for (const auto &o : order) {
        if (o.session == 0)
            continue;
        if (o.errorMessage)
            o.errorMessage(0, status, text);
        break;
    }
    text[255] = '\0'; // a driver that overruns its text must not run us past the buffer
}

} // namespace

void siReport(ViStatus status, const char *callText) {
    if (status == 0)
        return;
    ViChar text[256] = {};
    driverText(status, text);
    std::string line(callText ? callText : "");
    if (const size_t paren = line.find('('); paren != std::string::npos)
        line.resize(paren);
    line += text;
    siHostStatusLine(line.c_str());
}

ViStatus siCheck(ViStatus status, const char *callText) {
    siStatus = status;
    siReport(status, callText);
    return status;
}
