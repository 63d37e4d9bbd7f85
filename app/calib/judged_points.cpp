#include "judged_points.h"

#include "calib.h"
#include "observers.h"
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
    if (logFile > 0)
        appendCsvRow(besideProtocol(logFileName, ".csv"), p);
    verificationChartAdd(p);
    observers().notify(p);
}

} // namespace ortav::calib
