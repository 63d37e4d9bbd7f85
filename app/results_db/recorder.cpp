#include "recorder.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <unistd.h>

namespace ortav::results {

namespace {

QString q(const std::string &s) {
    return QString::fromStdString(s);
}

bool exec(QSqlQuery &query, std::string *error) {
    if (query.exec())
        return true;
    if (error != nullptr)
        *error = query.lastError().text().toStdString();
    return false;
}

// Removes a run from the journal (inside the caller's transaction).
bool forget(QSqlDatabase &db, const std::string &runId, std::string *error) {
    for (const char *table : {"journal_points", "journal_calibration", "journal_runs"}) {
        QSqlQuery d(db);
        d.prepare(QStringLiteral("DELETE FROM %1 WHERE run_id = ?").arg(QLatin1String(table)));
        d.addBindValue(q(runId));
        if (!exec(d, error))
            return false;
    }
    return true;
}

} // namespace

// A time-ordered UUID (version 7): milliseconds since the epoch, a counter for
// ids made in the same millisecond, then random bits. Runs recorded within one
// second sort in the order this station began them.
std::string Recorder::makeRunId() {
    static std::mutex lock;
    static std::uint64_t lastMs = 0, counter = 0;
    std::uint64_t ms = 0, n = 0;
    {
        std::lock_guard<std::mutex> hold(lock);
        ms = static_cast<std::uint64_t>(QDateTime::currentMSecsSinceEpoch());
        if (ms <= lastMs) {
            ms = lastMs;
            ++counter;
            if (counter > 0xFFF) { // the counter's room used up: the next millisecond
                ++ms;
                counter = 0;
            }
        } else {
            counter = 0;
        }
        lastMs = ms;
        n = counter;
    }
    const QByteArray random = QUuid::createUuid().toRfc4122();
    char text[64];
    std::snprintf(text, sizeof text, "%08llx-%04llx-7%03llx-%02x%02x-%02x%02x%02x%02x%02x%02x",
                  static_cast<unsigned long long>(ms >> 16),
                  static_cast<unsigned long long>(ms & 0xFFFF), static_cast<unsigned long long>(n),
                  0x80 | (static_cast<unsigned char>(random[8]) & 0x3F),
                  static_cast<unsigned char>(random[9]), static_cast<unsigned char>(random[10]),
                  static_cast<unsigned char>(random[11]), static_cast<unsigned char>(random[12]),
                  static_cast<unsigned char>(random[13]), static_cast<unsigned char>(random[14]),
                  static_cast<unsigned char>(random[15]));
    return text;
}

bool Recorder::open(const std::string &localPath, const std::optional<Target> &server,
                    std::string *error) {
    close();
    localPath_ = localPath;
    Target local;
    local.path = localPath;
    if (!local_.open(local, error))
        return false;
    server_ = server;
    if (!recoverJournal(error))
        return false;
    std::string ignored;
    sendPending(&ignored);
    return true;
}

std::string Recorder::lockPath(const std::string &runId) const {
    return localPath_ + "-run-" + runId + ".lock";
}

void Recorder::unlockRun(const std::string &runId) {
    if (runLock_ < 0)
        return;
    std::remove(lockPath(runId).c_str());
    ::close(runLock_);
    runLock_ = -1;
}

void Recorder::close() {
    // A run still going on stays in the journal, for the next start to find.
    if (runLock_ >= 0) {
        ::close(runLock_);
        runLock_ = -1;
    }
    open_.reset();
    remote_.close();
    local_.close();
    server_.reset();
}

bool Recorder::recoverJournal(std::string *error) {
    for (RunRecord r : local_.journaledRuns()) {
        // A run whose lock another program holds is going on there.
        const std::string lock = lockPath(r.runId);
        const int fd = ::open(lock.c_str(), O_RDWR | O_CLOEXEC);
        if (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            continue;
        }
        if (fd >= 0) {
            std::remove(lock.c_str());
            ::close(fd);
        }
        r.verdict = kInterrupted;
        r.error = "the program ended before the run did";
        r.finished = r.points.empty() ? r.started : r.points.back().time;
        if (!commitLocal(r, error))
            return false;
    }
    if (!local_.lastError().empty()) {
        if (error != nullptr)
            *error = local_.lastError();
        return false;
    }
    return true;
}

bool Recorder::journal(const RunRecord &r, std::string *error) {
    QSqlDatabase db = local_.sql();
    return insertRunRow(db, "journal_runs", r, error);
}

bool Recorder::begin(RunRecord header, std::string *error) {
    if (!isOpen()) {
        if (error != nullptr)
            *error = "the results database is not open";
        return false;
    }
    if (open_ && !end(kInterrupted, "another run began before it ended", error))
        return false;
    if (header.runId.empty())
        header.runId = makeRunId();
    if (header.started == 0)
        header.started = std::time(nullptr);
    header.points.clear();
    header.calibration.clear();
    // Held until the run ends, or the program does.
    runLock_ = ::open(lockPath(header.runId).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (runLock_ >= 0 && flock(runLock_, LOCK_EX | LOCK_NB) != 0) {
        ::close(runLock_);
        runLock_ = -1;
    }
    if (!journal(header, error)) {
        if (runLock_ >= 0) {
            std::remove(lockPath(header.runId).c_str());
            ::close(runLock_);
            runLock_ = -1;
        }
        return false;
    }
    open_ = std::move(header);
    return true;
}

bool Recorder::addPoint(const PointRecord &p, std::string *error) {
    if (!open_) {
        if (error != nullptr)
            *error = "no run is going on";
        return false;
    }
    open_->points.push_back(p);
    QSqlDatabase db = local_.sql();
    return insertPointRow(db, "journal_points", open_->runId,
                          static_cast<int>(open_->points.size()), p, error);
}

bool Recorder::addCalibration(const CalibrationEntry &e, std::string *error) {
    if (!open_) {
        if (error != nullptr)
            *error = "no run is going on";
        return false;
    }
    // A value measured again replaces the first.
    for (auto it = open_->calibration.begin(); it != open_->calibration.end(); ++it)
        if (it->chan == e.chan && it->kind == e.kind && it->index == e.index) {
            open_->calibration.erase(it);
            QSqlQuery d(local_.sql());
            d.prepare(QStringLiteral("DELETE FROM journal_calibration WHERE run_id = ? AND "
                                     "channel = ? AND kind = ? AND idx = ?"));
            d.addBindValue(q(open_->runId));
            d.addBindValue(e.chan);
            d.addBindValue(q(e.kind));
            d.addBindValue(e.index);
            if (!exec(d, error))
                return false;
            break;
        }
    open_->calibration.push_back(e);
    QSqlDatabase db = local_.sql();
    return insertCalibrationRow(db, "journal_calibration", open_->runId, e, error);
}

bool Recorder::commitLocal(const RunRecord &run, std::string *error) {
    const bool queue = server_.has_value();
    return local_.insertRun(run, error, nullptr, [&](QSqlDatabase &db, std::string *why) {
        if (!forget(db, run.runId, why))
            return false;
        if (!queue)
            return true;
        QSqlQuery o(db);
        o.prepare(QStringLiteral("INSERT INTO outbox (run_id, queued_utc) VALUES (?, ?)"));
        o.addBindValue(q(run.runId));
        o.addBindValue(q(utcText(std::time(nullptr))));
        return exec(o, why);
    });
}

bool Recorder::end(const std::string &verdict, const std::string &why, std::string *error) {
    if (!open_) {
        if (error != nullptr)
            *error = "no run is going on";
        return false;
    }
    RunRecord run = std::move(*open_);
    open_.reset();
    run.verdict = verdict;
    run.error = why;
    if (run.finished == 0)
        run.finished = std::time(nullptr);
    const bool recorded = commitLocal(run, error);
    unlockRun(run.runId);
    if (!recorded)
        return false;
    std::string ignored; // the run waits in the outbox
    sendPending(&ignored);
    return true;
}

bool Recorder::record(RunRecord run, std::string *error) {
    const std::string verdict = run.verdict, why = run.error;
    const std::time_t finished = run.finished;
    std::vector<PointRecord> points = std::move(run.points);
    std::vector<CalibrationEntry> values = std::move(run.calibration);
    if (!begin(std::move(run), error))
        return false;
    open_->points = std::move(points);
    open_->calibration = std::move(values);
    open_->finished = finished;
    return end(verdict, why, error);
}

bool Recorder::serverReachable(std::string *error) {
    if (!server_)
        return false;
    if (remote_.isOpen())
        return true;
    return remote_.open(*server_, error);
}

int Recorder::pendingCount() {
    QSqlQuery c(local_.sql());
    if (!c.exec(QStringLiteral("SELECT COUNT(*) FROM outbox")) || !c.next())
        return -1;
    return c.value(0).toInt();
}

int Recorder::sendPending(std::string *error) {
    if (!server_ || !isOpen())
        return 0;
    std::vector<std::string> ids;
    {
        QSqlQuery o(local_.sql());
        if (!o.exec(QStringLiteral("SELECT run_id FROM outbox ORDER BY queued_utc, run_id"))) {
            if (error != nullptr)
                *error = "outbox: " + o.lastError().text().toStdString();
            return -1;
        }
        while (o.next())
            ids.push_back(o.value(0).toString().toStdString());
    }
    if (ids.empty())
        return 0;
    int sent = 0;
    for (const std::string &id : ids) {
        std::optional<RunRecord> run = local_.run(id);
        if (!run) {
            if (error != nullptr)
                *error = "outbox: run " + id + ": " + local_.lastError();
            return -1;
        }
        bool stored = serverReachable(error) && remote_.insertRun(*run, error);
        if (!stored && remote_.isOpen()) {
            // A connection the server dropped (a restart) is only found out by
            // using it: connect again once.
            remote_.close();
            stored = serverReachable(error) && remote_.insertRun(*run, error);
        }
        if (!stored) {
            remote_.close();
            return -1;
        }
        QSqlQuery d(local_.sql());
        d.prepare(QStringLiteral("DELETE FROM outbox WHERE run_id = ?"));
        d.addBindValue(q(id));
        // Should this fail the run is offered again, and the server keeps one copy.
        if (!exec(d, error))
            return -1;
        ++sent;
    }
    return sent;
}

Database &Recorder::history() {
    std::string ignored;
    if (server_ && sendPending(&ignored) >= 0 && serverReachable())
        return remote_;
    return local_;
}

std::string Recorder::rememberedAsset(const std::string &carrierResource, int position) {
    QSqlQuery s(local_.sql());
    s.prepare(
        QStringLiteral("SELECT asset FROM assets WHERE carrier_resource = ? AND position = ?"));
    s.addBindValue(q(carrierResource));
    s.addBindValue(position);
    if (!s.exec() || !s.next())
        return {};
    return s.value(0).toString().toStdString();
}

bool Recorder::rememberAsset(const std::string &carrierResource, int position,
                             const std::string &asset, std::string *error) {
    QSqlQuery s(local_.sql());
    if (asset.empty()) {
        s.prepare(QStringLiteral("DELETE FROM assets WHERE carrier_resource = ? AND position = ?"));
        s.addBindValue(q(carrierResource));
        s.addBindValue(position);
        return exec(s, error);
    }
    s.prepare(QStringLiteral("INSERT OR REPLACE INTO assets (carrier_resource, position, asset, "
                             "updated_utc) VALUES (?, ?, ?, ?)"));
    s.addBindValue(q(carrierResource));
    s.addBindValue(position);
    s.addBindValue(q(asset));
    s.addBindValue(q(utcText(std::time(nullptr))));
    return exec(s, error);
}

} // namespace ortav::results
