#include "judged_points.h"

#include "calib.h"
#include "observers.h"
#include "record_failure.h"
#include "results_csv.h"
#include "verification_chart.h"

namespace ortav::calib {

namespace {
Observers<JudgedPoint> &observers() {
    static Observers<JudgedPoint> o;
    return o;
}
} // namespace

int addJudgedObserver(JudgedObserver observer) {
    return observers().add(std::move(observer));
}

void removeJudgedObserver(int id) {
    observers().remove(id);
}

void pointJudged(const JudgedPoint &p) {
    // Only beside a protocol that is open: a run shown on the screen alone
    // leaves no files behind either.
    if (logFile > 0) {
        const std::string csv = besideProtocol(logFileName, ".csv");
        if (int why = 0; !appendCsvRow(csv, p, &why))
            resultNotRecorded(csv, why);
    }
    verificationChartAdd(p);
    observers().notify(p);
}

} // namespace ortav::calib
