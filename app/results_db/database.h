// One connection to a results database (the station's SQLite file or a shared
// PostgreSQL server): opened with its schema made ready, a run written whole in
// one transaction, runs read back.
#pragma once

#include "run_record.h"
#include "target.h"
#include "time_text.h"

#include <QSqlDatabase>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ortav::results {

// Times as the database holds them.
using ortav::text::utcText;           // "2026-12-10T09:53:10Z"
std::string localText(std::time_t t); // "2026-12-10T12:53:10+03:00"
std::time_t fromUtcText(const std::string &text);

// Which runs belong to one module: by its asset number when it has one, else by
// the carrier and position (on one station, when station is given).
struct ModuleKey {
    std::string asset;
    std::string station;
    std::string carrierResource;
    int position = 0;
};

// One row each, in an open connection (inside a transaction of the caller's).
bool insertRunRow(QSqlDatabase &db, const char *table, const RunRecord &run, std::string *error);
bool insertPointRow(QSqlDatabase &db, const char *table, const std::string &runId, int seq,
                    const PointRecord &point, std::string *error);
bool insertCalibrationRow(QSqlDatabase &db, const char *table, const std::string &runId,
                          const CalibrationEntry &entry, std::string *error);

class Database {
public:
    Database();
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // Connects and creates or migrates the schema. False with the reason.
    bool open(const Target &target, std::string *error);
    void close();
    bool isOpen() const;
    const Target &target() const { return target_; }
    QSqlDatabase sql() const;

    // The run with its points and values in one transaction. A run already
    // there (by its id) is left as it is: *alreadyThere says so.
    // also: more work for the same transaction, done before it commits.
    using InTransaction = std::function<bool(QSqlDatabase &, std::string *)>;
    bool insertRun(const RunRecord &run, std::string *error, bool *alreadyThere = nullptr,
                   const InTransaction &also = {});

    std::optional<RunRecord> run(const std::string &runId, bool withDetails = true);
    // The runs of a module in the order they ended (within a second: as the
    // station began them), without points.
    std::vector<RunRecord> runs(const ModuleKey &key, const char *kind = nullptr);
    // Every run of a kind (all kinds: null), oldest first, without points.
    std::vector<RunRecord> allRuns(const char *kind = nullptr);

    // The runs the station's journal holds (begun, never ended), with their
    // points and values.
    std::vector<RunRecord> journaledRuns();

    // The last error of a read.
    const std::string &lastError() const { return lastError_; }

private:
    std::vector<RunRecord> select(const QString &where, const QVariantList &values,
                                  const char *table = "runs");
    bool details(RunRecord &r, const char *points, const char *values);
    Target target_;
    QString connection_;
    std::string lastError_;
};

} // namespace ortav::results
