#include "run_certificate.h"

#include "certificate.h"
#include "front_panel.h"
#include "p_ortav.h"
#include "results_recording.h"
#include "userint.h"
#include "verification_chart.h"
#include "verification_run.h"

namespace ortav::calib {

bool writeRunCertificate(const std::string &path, const std::string &assetNumber,
                         std::string &error) {
    const RunSummary &run = lastVerificationRun();
    if (run.finished == 0) {
        error = "no automatic verification has ended yet";
        return false;
    }
    CertificateInput in;
    in.run = &run;
    // Else the one the results database remembers for this carrier and position.
    in.assetNumber = !assetNumber.empty() ? assetNumber : ortav::recording::asset();
    in.charts[0] = verificationChartImage(1);
    in.charts[1] = verificationChartImage(2);
    // Drawing both modes leaves the chart on the current one: the sheet's again.
    short mode = 1;
    GetCtrlVal(ppPanel, PP_MODE, &mode);
    verificationChartFollowMode(mode == 2 ? 2 : 1);
    return writeCertificate(path, in, error);
}

void certificateButtonFollowsRun(bool runEnded) {
    SetCtrlAttribute(ppPanel, PP_CERTIFICATE, ATTR_DIMMED, runEnded ? 0 : 1);
}

} // namespace ortav::calib

int certificateCB(int, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT)
        return 0;
    char path[260] = "";
    if (FileSelectPopup("", "*.pdf", "*.pdf", "Сертификат", VAL_SAVE_BUTTON, 0, 0, 1, 1, path,
                        sizeof path) <= 0)
        return 0;
    std::string error;
    if (!ortav::calib::writeRunCertificate(path, "", error)) {
        // Like any result that cannot be written: on the status line and said at once.
        const std::string line = "Сертификат не записан: " + error;
        SetCtrlVal(mp, MP_MSG, line.c_str());
        SetCtrlAttribute(mp, MP_MSG, ATTR_TEXT_COLOR, VAL_RED);
        MessagePopup("Сертификат", line.c_str());
    }
    return 0;
}
