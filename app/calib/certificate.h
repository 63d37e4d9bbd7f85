// The certificate of an automatic verification run, a PDF for the module's
// owner: the module, the reference multimeter and its accuracy period, the
// conditions, the decision rule, every judged point with its uncertainty, the
// verification charts and the overall verdict; on a simulated bench every page
// carries a diagonal "ИМИТАЦИЯ — не для выдачи". Pages are numbered "стр. n из m".
#pragma once

#include "results_json.h"

#include <QImage>

#include <string>

namespace ortav::calib {

struct CertificateInput {
    const RunSummary *run = nullptr;
    std::string assetNumber; // as the operator gives it; empty: not given
    QImage charts[2];        // resistance, current; a null image is left out
};

// The texts the certificate shows for a point's verdict under the run's rule
// and for the run as a whole (verdictByRule).
const char *certificatePointVerdict(const JudgedPoint &p);
const char *certificateVerdict(const std::string &verdictByRule);

// Writes the PDF whole (laid out in memory, then written beside and renamed
// over the file, synced). False with the reason in error.
bool writeCertificate(const std::string &path, const CertificateInput &in, std::string &error);

} // namespace ortav::calib
