// The certificate of the last automatic verification, from the panel's
// "Сертификат…" button and from a headless run alike.
#pragma once

#include <string>

namespace ortav::calib {

// Writes the PDF of the last run with the sheet's charts; the asset number
// given, else the results database's for the module. False with the reason in
// error (no run yet, or the file could not be written).
bool writeRunCertificate(const std::string &path, const std::string &assetNumber,
                         std::string &error);

// The button is there to use once a run has ended, and not while one goes on.
void certificateButtonFollowsRun(bool runEnded);

} // namespace ortav::calib
