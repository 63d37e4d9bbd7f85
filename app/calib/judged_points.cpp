#include "judged_points.h"

#include "calib.h"
#include "observers.h"
#include "record_failure.h"
#include "results_csv.h"
#include "userint.h"
#include "verification_chart.h"
#include "visa_library.h"

#include <set>
#include <string>

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
        const std::string csv = csvBesideProtocol(logFileName);
        const std::string plain = besideProtocol(logFileName, ".csv");
        static std::set<std::string> told;
        if (csv != plain && told.insert(csv).second) {
            const std::string text = "Файл результатов " + plain +
                                     " начат другой версией программы (другие столбцы).\n"
                                     "Результаты записываются в " +
                                     csv + ".";
            MessagePopup("ORTAV", text.c_str());
        }
        if (int why = 0;
            !appendCsvRow(csv, p, ortav::visa::isSimulated() ? ortav::visa::benchName() : "", &why))
            resultNotRecorded(csv, why);
    }
    verificationChartAdd(p);
    observers().notify(p);
}

} // namespace ortav::calib
