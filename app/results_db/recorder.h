// The station's side of the results database. Every run goes into the
// station's own SQLite file: its header when it starts, each point as it is
// judged (so a run the program did not live to end is still found, and
// recorded as interrupted), and the whole run in one transaction as it ends.
// With a server, each ended run is then sent to it in one transaction of its
// own; a run the server could not take waits in the file's outbox and is sent
// when the server is back, once (by the run id made here). Stations may share
// one file: a run in the journal is another's while its lock file is held.
#pragma once

#include "database.h"
#include "run_record.h"
#include "target.h"

#include <optional>
#include <string>

namespace ortav::results {

class Recorder {
public:
    // local: the station's SQLite file; server: a PostgreSQL server, or none.
    // Fails only when the local file cannot be used; an unreachable server is
    // tried again at each run's end. Runs left open by an earlier program are
    // recorded as interrupted.
    bool open(const std::string &localPath, const std::optional<Target> &server,
              std::string *error);
    void close();
    ~Recorder() { close(); }
    bool isOpen() const { return local_.isOpen(); }

    // Starts a run; its id is made here when it has none. A run still open is
    // ended first as interrupted.
    bool begin(RunRecord header, std::string *error);
    bool running() const { return open_.has_value(); }
    // The run going on (to fill in what is known only at its end).
    RunRecord *current() { return open_ ? &*open_ : nullptr; }
    bool addPoint(const PointRecord &p, std::string *error);
    bool addCalibration(const CalibrationEntry &e, std::string *error);
    // Ends the run: recorded in one transaction, then sent to the server.
    // False when the station's file did not take it (the journal keeps it).
    bool end(const std::string &verdict, const std::string &why, std::string *error);
    // A whole run at once (a manual point, a self-test, a store).
    bool record(RunRecord run, std::string *error);

    // Sends what the server has yet to get. The number sent, or -1 when the
    // server cannot be reached or refused a run (*error says why).
    int sendPending(std::string *error);
    int pendingCount();
    bool hasServer() const { return server_.has_value(); }
    // Connected to the server now (tries to connect when not).
    bool serverReachable(std::string *error = nullptr);

    // Where history is read: the server when reachable, else the station's file.
    Database &history();
    Database &local() { return local_; }

    // The asset number last given for a module at a carrier and position.
    std::string rememberedAsset(const std::string &carrierResource, int position);
    bool rememberAsset(const std::string &carrierResource, int position, const std::string &asset,
                       std::string *error);

    // A fresh run id.
    static std::string makeRunId();

private:
    bool journal(const RunRecord &r, std::string *error);
    bool recoverJournal(std::string *error);
    bool commitLocal(const RunRecord &run, std::string *error);
    std::string lockPath(const std::string &runId) const;
    void unlockRun(const std::string &runId);

    Database local_;
    std::optional<Target> server_;
    Database remote_;
    std::optional<RunRecord> open_;
    std::string localPath_;
    int runLock_ = -1; // held while the run goes on: its journal is not an orphan's
};

} // namespace ortav::results
