#include "database.h"

#include "time_text.h"

#include <QAtomicInt>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QVariant>

#include <ctime>
#include <map>
#include <mutex>

namespace ortav::results {

namespace {

QAtomicInt g_connections;

QString q(const std::string &s) {
    return QString::fromStdString(s);
}

std::string fail(std::string *error, const QString &what, const QSqlError &e) {
    std::string text = (what + ": " + e.text()).toStdString();
    if (error != nullptr)
        *error = text;
    return text;
}

const char *modeName(int mode) {
    return mode == 1 ? "resistance" : "current";
}

QVariantList runValues(const RunRecord &r) {
    return {q(r.runId),
            q(r.kind),
            q(utcText(r.started)),
            q(localText(r.started)),
            q(utcText(r.finished)),
            q(localText(r.finished)),
            q(r.programVersion),
            q(r.mathIntegrity),
            q(r.station),
            q(r.operatorName),
            r.simulated ? 1 : 0,
            q(r.bench),
            q(r.carrierResource),
            q(r.carrierManufacturer),
            q(r.carrierModel),
            q(r.carrierSerial),
            r.position,
            r.hardwareVersion,
            q(r.moduleIdentification),
            q(r.coeffImage),
            q(r.coeffStored),
            q(r.multimeterKind),
            q(r.multimeterResource),
            r.ambientTemperature,
            r.pointsExpected,
            q(r.verdict),
            q(r.error),
            q(r.asset),
            q(r.decisionRule)};
}

RunRecord runFrom(const QSqlQuery &s) {
    auto t = [&](const char *name) {
        return s.value(QLatin1String(name)).toString().toStdString();
    };
    auto i = [&](const char *name) { return s.value(QLatin1String(name)).toInt(); };
    RunRecord r;
    r.runId = t("run_id");
    r.kind = t("kind");
    r.started = fromUtcText(t("started_utc"));
    r.finished = fromUtcText(t("finished_utc"));
    r.programVersion = t("program_version");
    r.mathIntegrity = t("math_integrity");
    r.station = t("station");
    r.operatorName = t("operator");
    r.simulated = i("simulated") != 0;
    r.bench = t("bench");
    r.carrierResource = t("carrier_resource");
    r.carrierManufacturer = t("carrier_manufacturer");
    r.carrierModel = t("carrier_model");
    r.carrierSerial = t("carrier_serial");
    r.position = i("position");
    r.hardwareVersion = i("hardware_version");
    r.moduleIdentification = t("module_identification");
    r.asset = t("asset");
    r.coeffImage = t("coeff_image");
    r.coeffStored = t("coeff_stored");
    r.multimeterKind = t("multimeter_kind");
    r.multimeterResource = t("multimeter_resource");
    r.ambientTemperature = s.value(QStringLiteral("ambient_temperature")).toDouble();
    r.pointsExpected = i("points_expected");
    r.decisionRule = t("decision_rule");
    r.verdict = t("verdict");
    r.error = t("error");
    return r;
}

// A prepared statement run with its values in order (it may be run again
// with others). False with the reason; what names the table for it.
bool bindAndRun(QSqlQuery &s, const QVariantList &values, const QString &what, std::string *error) {
    for (qsizetype i = 0; i < values.size(); ++i)
        s.bindValue(static_cast<int>(i), values[i]);
    if (s.exec())
        return true;
    fail(error, what, s.lastError());
    return false;
}

// A statement prepared and run once.
bool execute(QSqlQuery &s, const QString &sql, const QVariantList &values, const QString &what,
             std::string *error) {
    s.prepare(sql);
    return bindAndRun(s, values, what, error);
}

// The row statements of each connection, prepared once: a run inserts a row a
// point, and preparing the statement costs several times running it. Kept for
// the whole process (never destroyed), dropped with their connection.
struct Statements {
    std::mutex lock; // connections of other threads (each used by its own)
    std::map<QString, std::map<QString, QSqlQuery>> byConnection;
};
Statements &statements() {
    static auto *s = new Statements;
    return *s;
}

// One row: its columns and their values in the same order.
bool insertRow(QSqlDatabase &db, const char *table, const QStringList &columns,
               const QVariantList &values, std::string *error) {
    const QStringList marks(columns.size(), QStringLiteral("?"));
    const QString sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                            .arg(QLatin1String(table), columns.join(QStringLiteral(", ")),
                                 marks.join(QStringLiteral(", ")));
    Statements &all = statements();
    std::unique_lock<std::mutex> g(all.lock);
    std::map<QString, QSqlQuery> &mine = all.byConnection[db.connectionName()];
    auto it = mine.find(sql);
    if (it == mine.end()) {
        QSqlQuery s(db);
        if (!s.prepare(sql)) {
            fail(error, QLatin1String(table), s.lastError());
            return false;
        }
        it = mine.emplace(sql, std::move(s)).first;
    }
    QSqlQuery &s = it->second;
    g.unlock(); // the connection's own statement, used on its own thread
    if (bindAndRun(s, values, QLatin1String(table), error))
        return true;
    g.lock();
    mine.erase(sql); // prepared afresh next time
    return false;
}

void forgetStatements(const QString &connection) {
    Statements &all = statements();
    std::lock_guard<std::mutex> g(all.lock);
    all.byConnection.erase(connection);
}

const QStringList kPointColumns = {
    "run_id",    "seq",      "time_utc",       "channel",   "mode",    "unit",
    "set_value", "measured", "deviation",      "permitted", "verdict", "expanded_uncertainty",
    "tur",       "tur_low",  "guarded_verdict"};
const QStringList kCalibrationColumns = {"run_id", "channel", "kind",
                                         "idx",    "value",   "beyond_tolerance"};

} // namespace

std::string localText(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    const long off = tm.tm_gmtoff;
    char zone[48];
    std::snprintf(zone, sizeof zone, "%c%02ld:%02ld", off < 0 ? '-' : '+', std::labs(off) / 3600,
                  std::labs(off) % 3600 / 60);
    return ortav::text::localText(t, "%Y-%m-%dT%H:%M:%S") + zone;
}

std::time_t fromUtcText(const std::string &text) {
    std::tm tm{};
    if (std::sscanf(text.c_str(), "%d-%d-%dT%d:%d:%d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday,
                    &tm.tm_hour, &tm.tm_min, &tm.tm_sec) != 6)
        return 0;
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    return timegm(&tm);
}

bool insertRunRow(QSqlDatabase &db, const char *table, const RunRecord &run, std::string *error) {
    QStringList columns;
    for (const char *c : runColumns())
        columns << QLatin1String(c);
    return insertRow(db, table, columns, runValues(run), error);
}

bool insertPointRow(QSqlDatabase &db, const char *table, const std::string &runId, int seq,
                    const PointRecord &pt, std::string *error) {
    // NULL: not known (or not recorded).
    const QVariant noNumber(QMetaType::fromType<double>()), noFlag(QMetaType::fromType<int>());
    return insertRow(
        db, table, kPointColumns,
        {q(runId), seq, q(utcText(pt.time)), pt.chan, QLatin1String(modeName(pt.mode)),
         pt.mode == 1 ? QStringLiteral("Ohm") : QStringLiteral("mA"), pt.set, pt.measured,
         pt.deviation, pt.permitted, pt.failed ? QStringLiteral("fail") : QStringLiteral("pass"),
         pt.uncertaintyKnown ? QVariant(pt.expanded) : noNumber,
         pt.uncertaintyKnown ? QVariant(pt.tur) : noNumber,
         pt.uncertaintyKnown ? QVariant(pt.turLow ? 1 : 0) : noFlag,
         pt.guarded.empty() ? QVariant(QMetaType::fromType<QString>()) : q(pt.guarded)},
        error);
}

bool insertCalibrationRow(QSqlDatabase &db, const char *table, const std::string &runId,
                          const CalibrationEntry &e, std::string *error) {
    return insertRow(db, table, kCalibrationColumns,
                     {q(runId), e.chan, q(e.kind), e.index, e.value, e.beyondTolerance ? 1 : 0},
                     error);
}

Database::Database()
    : connection_(QStringLiteral("ortav_results_%1").arg(g_connections.fetchAndAddRelaxed(1))) {}

Database::~Database() {
    close();
}

bool Database::open(const Target &target, std::string *error) {
    close();
    target_ = target;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(
            target.dialect == Dialect::SQLite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL"),
            connection_);
        if (!db.isValid()) {
            if (error != nullptr)
                *error = std::string("the Qt SQL driver ") +
                         (target.dialect == Dialect::SQLite ? "QSQLITE" : "QPSQL") +
                         " is not installed";
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(connection_);
            return false;
        }
        if (target.dialect == Dialect::SQLite) {
            // The user's data folder may not be there yet.
            QDir().mkpath(QFileInfo(q(target.path)).absolutePath());
            db.setDatabaseName(q(target.path));
            // Another station's writer on the same file waits a while, not fails.
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        } else {
            db.setDatabaseName(q(target.database));
            db.setUserName(q(target.user));
            db.setPassword(q(target.password));
            db.setHostName(q(target.host));
            if (target.port != 0)
                db.setPort(target.port);
            // An unreachable server is found out quickly: the station then spools.
            db.setConnectOptions(QStringLiteral("connect_timeout=3"));
        }
        bool ok = db.open();
        if (!ok)
            fail(error, q(describe(target)), db.lastError());
        if (ok && target.dialect == Dialect::SQLite) {
            // WAL: a reader never blocks a running verification; NORMAL: a commit
            // survives the program's end without a sync per point.
            QSqlQuery pragma(db);
            ok = pragma.exec(QStringLiteral("PRAGMA journal_mode=WAL")) && pragma.next() &&
                 pragma.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0;
            ok = ok && pragma.exec(QStringLiteral("PRAGMA synchronous=NORMAL")) &&
                 pragma.exec(QStringLiteral("PRAGMA foreign_keys=ON"));
            if (!ok && error != nullptr)
                *error = describe(target) + ": cannot use write-ahead logging: " +
                         pragma.lastError().text().toStdString();
        }
        int version = 0;
        if (ok)
            ok = prepareSchema(db, target.dialect, &version, error);
        if (ok)
            return true;
        if (error != nullptr && error->rfind(describe(target), 0) != 0)
            *error = describe(target) + ": " + *error;
        db.close();
    }
    forgetStatements(connection_);
    QSqlDatabase::removeDatabase(connection_);
    return false;
}

void Database::close() {
    if (!QSqlDatabase::contains(connection_))
        return;
    forgetStatements(connection_); // before the connection they run on
    {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connection_);
}

bool Database::isOpen() const {
    return QSqlDatabase::contains(connection_) &&
           QSqlDatabase::database(connection_, false).isOpen();
}

QSqlDatabase Database::sql() const {
    return QSqlDatabase::database(connection_, false);
}

bool Database::insertRun(const RunRecord &run, std::string *error, bool *alreadyThere,
                         const InTransaction &also) {
    if (alreadyThere != nullptr)
        *alreadyThere = false;
    QSqlDatabase db = sql();
    if (!db.isOpen()) {
        if (error != nullptr)
            *error = describe(target_) + ": not connected";
        return false;
    }
    // SQLite: the write lock from the start, so that two writers queue up
    // rather than one failing on a lock it cannot upgrade.
    if (target_.dialect == Dialect::SQLite) {
        QSqlQuery b(db);
        if (!b.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
            fail(error, QStringLiteral("BEGIN"), b.lastError());
            return false;
        }
    } else if (!db.transaction()) {
        fail(error, QStringLiteral("BEGIN"), db.lastError());
        return false;
    }
    // The transaction's work, rolled back whole when any of it fails.
    const auto write = [&] {
        QSqlQuery s(db);
        if (!execute(s, QStringLiteral("SELECT 1 FROM runs WHERE run_id = ?"), {q(run.runId)},
                     QStringLiteral("runs"), error))
            return false;
        const bool there = s.next();
        s.finish();
        if (alreadyThere != nullptr)
            *alreadyThere = there;
        if (!there) {
            if (!insertRunRow(db, "runs", run, error))
                return false;
            int seq = 0;
            for (const PointRecord &pt : run.points)
                if (!insertPointRow(db, "points", run.runId, ++seq, pt, error))
                    return false;
            for (const CalibrationEntry &e : run.calibration)
                if (!insertCalibrationRow(db, "calibration_values", run.runId, e, error))
                    return false;
        }
        return !also || also(db, error);
    };
    if (!write()) {
        db.rollback();
        return false;
    }
    if (!db.commit()) {
        fail(error, QStringLiteral("COMMIT"), db.lastError());
        db.rollback();
        return false;
    }
    return true;
}

std::vector<RunRecord> Database::select(const QString &where, const QVariantList &values,
                                        const char *table) {
    std::vector<RunRecord> list;
    lastError_.clear();
    QSqlQuery s(sql());
    if (!execute(s,
                 QStringLiteral("SELECT * FROM %1%2 ORDER BY finished_utc, started_utc, run_id")
                     .arg(QLatin1String(table), where.isEmpty() ? QString() : " WHERE " + where),
                 values, QStringLiteral("runs"), &lastError_))
        return list;
    while (s.next())
        list.push_back(runFrom(s));
    return list;
}

std::optional<RunRecord> Database::run(const std::string &runId, bool withDetails) {
    std::vector<RunRecord> found = select(QStringLiteral("run_id = ?"), {q(runId)});
    if (found.empty())
        return std::nullopt;
    RunRecord r = found.front();
    if (withDetails && !details(r, "points", "calibration_values"))
        return std::nullopt;
    return r;
}

std::vector<RunRecord> Database::journaledRuns() {
    std::vector<RunRecord> found = select({}, {}, "journal_runs");
    for (RunRecord &r : found)
        if (!details(r, "journal_points", "journal_calibration"))
            return {};
    return found;
}

bool Database::details(RunRecord &r, const char *points, const char *values) {
    QSqlQuery p(sql());
    if (!execute(p,
                 QStringLiteral("SELECT time_utc, channel, mode, set_value, measured, deviation, "
                                "permitted, verdict, expanded_uncertainty, tur, tur_low, "
                                "guarded_verdict FROM %1 WHERE run_id = ? ORDER BY seq")
                     .arg(QLatin1String(points)),
                 {q(r.runId)}, QLatin1String(points), &lastError_))
        return false;
    while (p.next()) {
        PointRecord pt;
        pt.time = fromUtcText(p.value(0).toString().toStdString());
        pt.chan = p.value(1).toInt();
        pt.mode = p.value(2).toString() == QLatin1String("resistance") ? 1 : 2;
        pt.set = p.value(3).toDouble();
        pt.measured = p.value(4).toDouble();
        pt.deviation = p.value(5).toDouble();
        pt.permitted = p.value(6).toDouble();
        pt.failed = p.value(7).toString() == QLatin1String("fail");
        pt.uncertaintyKnown = !p.value(8).isNull();
        pt.expanded = p.value(8).toDouble();
        pt.tur = p.value(9).toDouble();
        pt.turLow = p.value(10).toInt() != 0;
        pt.guarded = p.value(11).toString().toStdString();
        r.points.push_back(pt);
    }
    QSqlQuery c(sql());
    if (!execute(c,
                 QStringLiteral("SELECT channel, kind, idx, value, beyond_tolerance FROM %1 WHERE "
                                "run_id = ? ORDER BY channel, kind, idx")
                     .arg(QLatin1String(values)),
                 {q(r.runId)}, QLatin1String(values), &lastError_))
        return false;
    while (c.next())
        r.calibration.push_back({c.value(0).toInt(), c.value(1).toString().toStdString(),
                                 c.value(2).toInt(), c.value(3).toDouble(),
                                 c.value(4).toInt() != 0});
    return true;
}

std::vector<RunRecord> Database::runs(const ModuleKey &key, const char *kind) {
    QString where;
    QVariantList values;
    if (!key.asset.empty()) {
        where = QStringLiteral("asset = ?");
        values << q(key.asset);
    } else {
        where = QStringLiteral("carrier_resource = ? AND position = ?");
        values << q(key.carrierResource) << key.position;
        if (!key.station.empty()) {
            where += QStringLiteral(" AND station = ?");
            values << q(key.station);
        }
    }
    if (kind != nullptr) {
        where += QStringLiteral(" AND kind = ?");
        values << QLatin1String(kind);
    }
    return select(where, values);
}

std::vector<RunRecord> Database::allRuns(const char *kind) {
    if (kind == nullptr)
        return select({}, {});
    return select(QStringLiteral("kind = ?"), {QLatin1String(kind)});
}

} // namespace ortav::results
