#include "history_report.h"

#include "batch.h"
#include "database.h"
#include "history.h"
#include "protocol_text.h"
#include "results_json.h"
#include "results_recording.h"
#include "time_text.h"

#include <QFileInfo>

#include <ctime>
#include <string>
#include <vector>

namespace ortav::batch {

using namespace ortav::results;

namespace {

std::string localDate(std::time_t t) {
    return ortav::text::localText(t, "%Y-%m-%d %H:%M:%S");
}

std::string number(double v) {
    ortav::calib::CNumbers numbers;
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

std::string moduleOf(const RunRecord &r) {
    return (r.asset.empty() ? "-" : r.asset) + " " + r.carrierResource + " position " +
           std::to_string(r.position);
}

std::string runJson(const RunRecord &r) {
    using ortav::calib::jsonString;
    int failed = 0;
    for (const PointRecord &p : r.points)
        failed += p.failed ? 1 : 0;
    return "{\"run_id\": " + jsonString(r.runId) + ", \"kind\": " + jsonString(r.kind) +
           ", \"started\": " + jsonString(utcText(r.started)) +
           ", \"finished\": " + jsonString(utcText(r.finished)) +
           ", \"verdict\": " + jsonString(r.verdict) + ", \"error\": " + jsonString(r.error) +
           ", \"station\": " + jsonString(r.station) +
           ", \"operator\": " + jsonString(r.operatorName) + ", \"asset\": " + jsonString(r.asset) +
           ", \"resource\": " + jsonString(r.carrierResource) +
           ", \"position\": " + std::to_string(r.position) +
           ", \"simulated\": " + (r.simulated ? "true" : "false") +
           ", \"points\": " + std::to_string(r.points.size()) +
           ", \"points_failed\": " + std::to_string(failed) + "}";
}

std::string dueJson(const Due &d) {
    using ortav::calib::jsonString;
    return "{\"module\": " + jsonString(d.label) +
           ", \"last_calibration\": " + jsonString(utcText(d.lastCalibration)) +
           ", \"due\": " + jsonString(utcText(d.due)) +
           ", \"overdue\": " + (d.overdue ? "true" : "false") + "}";
}

std::string dueLine(const Due &d, std::time_t now) {
    const long days = static_cast<long>((d.due - now) / 86400);
    return d.label + ": last calibration " + localDate(d.lastCalibration) + ", due " +
           localDate(d.due) +
           (d.overdue ? " (OVERDUE)" : " (in " + std::to_string(days) + " days)");
}

} // namespace

int printHistory(const Options &o, std::FILE *out, std::FILE *err) {
    if (o.resultsDb == "none") {
        std::fprintf(err, "p_ortav: --results-db none: there is no database to read\n");
        return kUsage;
    }
    if (o.command == Command::History && o.hasAsset && (!o.resource.empty() || o.position != 0)) {
        std::fprintf(err, "p_ortav: --history: either --asset or --resource and --position\n");
        return kUsage;
    }
    if (o.command == Command::History && !o.hasAsset && (o.resource.empty() != (o.position == 0))) {
        std::fprintf(err, "p_ortav: --history: --resource and --position go together\n");
        return kUsage;
    }
    useResultsOptions(o);
    const ortav::recording::Options &ro = ortav::recording::options();
    Target target;
    target.path = defaultLocalPath();
    std::string why;
    if (!ro.database.empty() && !parseTarget(ro.database, target, &why)) {
        std::fprintf(err, "p_ortav: --results-db: %s\n", why.c_str());
        return kUsage;
    }
    if (target.dialect == Dialect::SQLite &&
        !QFileInfo::exists(QString::fromStdString(target.path))) {
        if (!ro.database.empty()) {
            std::fprintf(err, "p_ortav: %s: no results database there\n", target.path.c_str());
            return kUsage;
        }
        target.path.clear(); // nothing recorded on this station yet
    }
    Database db;
    if (!target.path.empty() || target.dialect == Dialect::PostgreSQL) {
        if (!db.open(target, &why)) {
            std::fprintf(err, "p_ortav: the results database cannot be read: %s\n", why.c_str());
            return kInstrument;
        }
    }
    const std::time_t now = std::time(nullptr);
    const int months = ortav::recording::calibrationMonths();

    if (o.command == Command::Due) {
        const std::vector<Due> list =
            db.isOpen() ? dueModules(db, months, kDueWithinDays, now) : std::vector<Due>{};
        if (o.json) {
            std::string j = "[";
            for (std::size_t i = 0; i < list.size(); ++i)
                j += (i ? ",\n " : "\n ") + dueJson(list[i]);
            std::fprintf(out, "%s\n]\n", j.c_str());
        } else if (list.empty()) {
            std::fprintf(out, "no module is due for calibration within %d days\n", kDueWithinDays);
        } else {
            for (const Due &d : list)
                std::fprintf(out, "%s\n", dueLine(d, now).c_str());
        }
        return kPassed;
    }

    const bool oneModule = o.hasAsset || !o.resource.empty();
    const ModuleKey key = o.hasAsset
                              ? ModuleKey{o.asset, {}, {}, 0}
                              : ModuleKey{{}, ortav::recording::station(), o.resource, o.position};
    std::vector<RunRecord> runs;
    if (db.isOpen())
        for (const RunRecord &r : oneModule ? db.runs(key) : db.allRuns())
            if (std::optional<RunRecord> full = db.run(r.runId))
                runs.push_back(*full);
    if (db.isOpen() && !db.lastError().empty()) {
        std::fprintf(err, "p_ortav: the results database cannot be read: %s\n",
                     db.lastError().c_str());
        return kInstrument;
    }
    const std::optional<Due> due =
        oneModule && db.isOpen() ? calibrationDue(db, key, months, now) : std::nullopt;
    const std::vector<DriftPoint> drifts =
        oneModule && db.isOpen() ? drift(db, key) : std::vector<DriftPoint>{};

    if (o.json) {
        std::string j = "{\n  \"runs\": [";
        for (std::size_t i = 0; i < runs.size(); ++i)
            j += (i ? ",\n    " : "\n    ") + runJson(runs[i]);
        j += "\n  ]";
        if (oneModule) {
            j += ",\n  \"calibration_due\": " + (due ? dueJson(*due) : std::string("null"));
            j += ",\n  \"drift\": [";
            for (std::size_t i = 0; i < drifts.size(); ++i) {
                j += std::string(i ? "," : "") +
                     "\n    {\"time\": " + ortav::calib::jsonString(utcText(drifts[i].time)) +
                     ", \"relative\": [";
                for (int c = 0; c < 2; ++c) {
                    j += c ? ", [" : "[";
                    for (int k = 0; k < 18; ++k)
                        j += (k ? ", " : "") + number(drifts[i].relative[c][k]);
                    j += "]";
                }
                j += "]}";
            }
            j += "\n  ]";
        }
        std::fprintf(out, "%s\n}\n", j.c_str());
        return kPassed;
    }
    if (runs.empty())
        std::fprintf(out, "no runs recorded%s\n", oneModule ? " for this module" : "");
    for (const RunRecord &r : runs) {
        int failed = 0;
        for (const PointRecord &p : r.points)
            failed += p.failed ? 1 : 0;
        std::string points;
        if (!r.points.empty())
            points = ", " + std::to_string(r.points.size()) + " points, " + std::to_string(failed) +
                     " out of norm";
        std::fprintf(out, "%s  %-12s %-11s %s, %s, %s%s  %s\n", localDate(r.started).c_str(),
                     r.kind.c_str(), r.verdict.c_str(), r.station.c_str(), r.operatorName.c_str(),
                     moduleOf(r).c_str(), points.c_str(), r.runId.c_str());
    }
    if (oneModule)
        std::fprintf(out, "calibration due: %s\n",
                     due ? dueLine(*due, now).c_str() : "no stored calibration on record");
    return kPassed;
}

} // namespace ortav::batch
