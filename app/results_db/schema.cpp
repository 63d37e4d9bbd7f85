#include "schema.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <vector>

namespace ortav::results {

namespace {

struct Column {
    const char *name;
    const char *type;
    int since; // the schema version that added it
};

// The order here is the order of the table and of runColumns().
const std::vector<Column> &runTable() {
    static const std::vector<Column> c = {
        {"run_id", "TEXT PRIMARY KEY", 1},
        {"kind", "TEXT NOT NULL", 1},
        {"started_utc", "TEXT NOT NULL", 1},
        {"started_local", "TEXT NOT NULL", 1},
        {"finished_utc", "TEXT NOT NULL", 1},
        {"finished_local", "TEXT NOT NULL", 1},
        {"program_version", "TEXT", 1},
        {"math_integrity", "TEXT", 1},
        {"station", "TEXT", 1},
        {"operator", "TEXT", 1},
        {"simulated", "INTEGER", 1},
        {"bench", "TEXT", 1},
        {"carrier_resource", "TEXT", 1},
        {"carrier_manufacturer", "TEXT", 1},
        {"carrier_model", "TEXT", 1},
        {"carrier_serial", "TEXT", 1},
        {"position", "INTEGER", 1},
        {"hardware_version", "INTEGER", 1},
        {"module_identification", "TEXT", 1},
        {"coeff_image", "TEXT", 1},
        {"coeff_stored", "TEXT", 1},
        {"multimeter_kind", "TEXT", 1},
        {"multimeter_resource", "TEXT", 1},
        {"ambient_temperature", "DOUBLE PRECISION", 1},
        {"points_expected", "INTEGER", 1},
        {"verdict", "TEXT NOT NULL", 1},
        {"error", "TEXT", 1},
        {"asset", "TEXT", 2},
        {"decision_rule", "TEXT", 3},
    };
    return c;
}

const char *kPointColumns = "seq INTEGER NOT NULL, time_utc TEXT NOT NULL, channel INTEGER NOT "
                            "NULL, mode TEXT NOT NULL, unit TEXT NOT NULL, "
                            "set_value DOUBLE PRECISION NOT NULL, measured DOUBLE PRECISION NOT "
                            "NULL, deviation DOUBLE PRECISION NOT NULL, permitted DOUBLE "
                            "PRECISION NOT NULL, verdict TEXT NOT NULL";
const char *kCalibrationColumns =
    "channel INTEGER NOT NULL, kind TEXT NOT NULL, idx INTEGER NOT NULL, value DOUBLE PRECISION "
    "NOT NULL, beyond_tolerance INTEGER NOT NULL";

QString runTableDdl(const char *name, int version) {
    QStringList cols;
    for (const Column &c : runTable())
        if (c.since <= version)
            cols << QString::fromLatin1(c.name) + ' ' + QString::fromLatin1(c.type);
    return QStringLiteral("CREATE TABLE %1 (%2)").arg(QLatin1String(name), cols.join(", "));
}

// What each version adds to the one before.
QStringList steps(int version) {
    QStringList s;
    if (version == 1) {
        s << QStringLiteral("CREATE TABLE schema_version (version INTEGER NOT NULL, "
                            "applied_utc TEXT NOT NULL)")
          << runTableDdl("runs", 1)
          << QStringLiteral("CREATE TABLE points (run_id TEXT NOT NULL REFERENCES runs(run_id), "
                            "%1, PRIMARY KEY (run_id, seq))")
                 .arg(QLatin1String(kPointColumns))
          << QStringLiteral("CREATE INDEX runs_by_module ON runs (carrier_resource, position)")
          << QStringLiteral("CREATE INDEX runs_by_time ON runs (started_utc)")
          // The station's own: the run going on, and what the server has yet to get.
          << runTableDdl("journal_runs", 1)
          << QStringLiteral("CREATE TABLE journal_points (run_id TEXT NOT NULL, %1, PRIMARY KEY "
                            "(run_id, seq))")
                 .arg(QLatin1String(kPointColumns))
          << QStringLiteral("CREATE TABLE outbox (run_id TEXT PRIMARY KEY, queued_utc TEXT NOT "
                            "NULL)");
    } else if (version == 2) {
        s << QStringLiteral("ALTER TABLE runs ADD COLUMN asset TEXT")
          << QStringLiteral("ALTER TABLE journal_runs ADD COLUMN asset TEXT")
          << QStringLiteral("CREATE INDEX runs_by_asset ON runs (asset)")
          << QStringLiteral("CREATE TABLE calibration_values (run_id TEXT NOT NULL REFERENCES "
                            "runs(run_id), %1, PRIMARY KEY (run_id, channel, kind, idx))")
                 .arg(QLatin1String(kCalibrationColumns))
          << QStringLiteral("CREATE TABLE journal_calibration (run_id TEXT NOT NULL, %1, "
                            "PRIMARY KEY (run_id, channel, kind, idx))")
                 .arg(QLatin1String(kCalibrationColumns))
          << QStringLiteral("CREATE TABLE assets (carrier_resource TEXT NOT NULL, position "
                            "INTEGER NOT NULL, asset TEXT NOT NULL, updated_utc TEXT NOT NULL, "
                            "PRIMARY KEY (carrier_resource, position))");
    } else if (version == 3) {
        s << QStringLiteral("ALTER TABLE runs ADD COLUMN decision_rule TEXT")
          << QStringLiteral("ALTER TABLE journal_runs ADD COLUMN decision_rule TEXT");
        for (const char *table : {"points", "journal_points"})
            for (const char *column :
                 {"expanded_uncertainty DOUBLE PRECISION", "tur DOUBLE PRECISION",
                  "tur_low INTEGER", "guarded_verdict TEXT"})
                s << QStringLiteral("ALTER TABLE %1 ADD COLUMN %2")
                         .arg(QLatin1String(table), QLatin1String(column));
    }
    return s;
}

bool exec(QSqlDatabase &db, const QString &sql, std::string *error) {
    QSqlQuery q(db);
    if (q.exec(sql))
        return true;
    if (error != nullptr)
        *error = (sql.left(60) + ": " + q.lastError().text()).toStdString();
    return false;
}

bool apply(QSqlDatabase &db, int version, std::string *error) {
    for (const QString &sql : steps(version))
        if (!exec(db, sql, error))
            return false;
    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT INTO schema_version (version, applied_utc) VALUES (?, ?)"));
    q.addBindValue(version);
    q.addBindValue(QDateTime::currentDateTimeUtc().toString(Qt::ISODate));
    if (!q.exec()) {
        if (error != nullptr)
            *error = "schema_version: " + q.lastError().text().toStdString();
        return false;
    }
    return true;
}

bool hasTable(QSqlDatabase &db, const char *name) {
    return db.tables().contains(QLatin1String(name), Qt::CaseInsensitive);
}

} // namespace

const std::vector<const char *> &runColumns() {
    static const std::vector<const char *> names = [] {
        std::vector<const char *> n;
        for (const Column &c : runTable())
            n.push_back(c.name);
        return n;
    }();
    return names;
}

bool createSchema(QSqlDatabase &db, Dialect, int version, std::string *error) {
    for (int v = 1; v <= version; ++v)
        if (!apply(db, v, error))
            return false;
    return true;
}

bool prepareSchema(QSqlDatabase &db, Dialect dialect, int *version, std::string *error) {
    // One station at a time: SQLite takes the write lock at once, PostgreSQL an
    // advisory lock held to the end of the transaction.
    bool begun = dialect == Dialect::SQLite ? exec(db, QStringLiteral("BEGIN IMMEDIATE"), error)
                                            : db.transaction();
    if (!begun) {
        if (error != nullptr && error->empty())
            *error = "BEGIN: " + db.lastError().text().toStdString();
        return false;
    }
    if (dialect == Dialect::PostgreSQL &&
        !exec(db, QStringLiteral("SELECT pg_advisory_xact_lock(7426913)"), error)) {
        db.rollback();
        return false;
    }
    int held = 0;
    bool ok = true;
    if (hasTable(db, "schema_version")) {
        QSqlQuery q(db);
        ok = q.exec(QStringLiteral("SELECT MAX(version) FROM schema_version")) && q.next();
        if (ok)
            held = q.value(0).toInt();
        else if (error != nullptr)
            *error = "schema_version: " + q.lastError().text().toStdString();
    } else if (hasTable(db, "runs")) {
        ok = false;
        if (error != nullptr)
            *error = "the database holds a table \"runs\" but no schema version";
    }
    if (ok && held > kSchemaVersion) {
        ok = false;
        if (error != nullptr)
            *error = "the database's schema is version " + std::to_string(held) +
                     ", newer than this program's " + std::to_string(kSchemaVersion);
    }
    for (int v = held + 1; ok && v <= kSchemaVersion; ++v)
        ok = apply(db, v, error);
    if (ok && !db.commit()) {
        ok = false;
        if (error != nullptr)
            *error = "COMMIT: " + db.lastError().text().toStdString();
    }
    if (!ok) {
        db.rollback();
        return false;
    }
    if (version != nullptr)
        *version = kSchemaVersion;
    return true;
}

} // namespace ortav::results
