#include "judged_points.h"

#include "calib.h"
#include "results_csv.h"
#include "verification_chart.h"

#include <map>

namespace ortav::calib {

namespace {
std::map<int, JudgedObserver> &observers() {
    static std::map<int, JudgedObserver> o;
    return o;
}
int g_nextId = 1;
} // namespace

int addJudgedObserver(JudgedObserver observer) {
    const int id = g_nextId++;
    observers()[id] = std::move(observer);
    return id;
}

void removeJudgedObserver(int id) {
    observers().erase(id);
}

void pointJudged(const JudgedPoint &p) {
    // Only beside a protocol that is open: a run shown on the screen alone
    // leaves no files behind either.
    if (logFile > 0)
        appendCsvRow(besideProtocol(logFileName, ".csv"), p);
    verificationChartAdd(p);
    const auto copy = observers(); // an observer may remove itself
    for (const auto &[id, observer] : copy)
        observer(p);
}

} // namespace ortav::calib
