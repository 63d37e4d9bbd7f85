#include "disk_sync.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace ortav::calib {

namespace {

// Lines handed over within this time share one sync per file: a run writes a
// protocol line and a results row every few tens of milliseconds, and a sync
// each costs more processor time than the rest of the point. Nothing is shown
// as recorded on the strength of a line still gathering (whoever reports a
// result waits for its sync), so a power cut can take only lines of a run that
// had not ended.
constexpr auto kGather = std::chrono::milliseconds(1000);

class Syncer {
public:
    ~Syncer() {
        {
            std::unique_lock<std::mutex> g(lock_);
            stopping_ = true;
        }
        wake_.notify_all();
        if (worker_.joinable())
            worker_.join(); // after the last sync: nothing handed over is dropped
    }

    bool hand(int fd, const struct stat *status) {
        struct stat st {};
        const bool looked = status != nullptr ? (st = *status, true) : ::fstat(fd, &st) == 0;
        const bool known = looked && S_ISREG(st.st_mode);
        std::unique_lock<std::mutex> g(lock_);
        // A file already waiting takes this line into the same sync (one being
        // synced now is handed again: its sync may have begun before the line).
        if (known)
            for (const Pending &p : pending_)
                if (p.known && p.dev == st.st_dev && p.ino == st.st_ino)
                    return true;
        const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
        if (copy < 0) {
            g.unlock();
            return ::fdatasync(fd) == 0;
        }
        if (!worker_.joinable()) {
            try {
                worker_ = std::thread([this] { run(); });
            } catch (const std::system_error &) { // no thread to be had: sync here
                g.unlock();
                const bool ok = ::fdatasync(copy) == 0;
                ::close(copy);
                return ok;
            }
        }
        pending_.push_back({copy, known, st.st_dev, st.st_ino});
        // Gathering or syncing, the worker takes it up anyway: waking it for
        // every line would cost both threads a switch.
        const bool idle = idle_;
        g.unlock();
        if (idle)
            wake_.notify_all();
        return true;
    }

    bool wait(int *error) {
        std::unique_lock<std::mutex> g(lock_);
        synced(g);
        return told(error);
    }

    void waitUntold() {
        std::unique_lock<std::mutex> g(lock_);
        synced(g);
    }

    bool failedSoFar(int *error) {
        std::lock_guard<std::mutex> g(lock_);
        return told(error);
    }

private:
    void synced(std::unique_lock<std::mutex> &g) {
        ++waiting_;
        wake_.notify_all(); // no more gathering: somebody needs it on the disk now
        done_.wait(g, [this] { return pending_.empty() && !busy_; });
        --waiting_;
    }

    bool told(int *error) {
        const bool ok = failed_ == 0;
        if (!ok && error != nullptr)
            *error = failed_;
        failed_ = 0;
        return ok;
    }

    // A file is handed over once while it waits: one sync each.
    struct Pending {
        int fd;
        bool known; // a regular file, whose device and inode tell it
        dev_t dev;
        ino_t ino;
    };

    static int syncEach(const std::vector<Pending> &batch) {
        // Every file's data is sent to the disk first, together; the syncs
        // then mostly find it written and commit once, instead of each
        // writing and waiting in turn. Only a hint: each is still synced.
        if (batch.size() > 1)
            for (const Pending &p : batch)
                (void)::sync_file_range(p.fd, 0, 0, SYNC_FILE_RANGE_WRITE);
        int failed = 0;
        for (const Pending &p : batch)
            if (::fdatasync(p.fd) != 0 && failed == 0)
                failed = errno;
        return failed;
    }

    void run() {
        std::unique_lock<std::mutex> g(lock_);
        // After a sync the next lines are gathered without waiting for the
        // first of them to wake this thread: while a run writes, one wake-up a
        // gathering, not two. A gathering that brings nothing ends it.
        bool flowing = false;
        for (;;) {
            if (!flowing) {
                idle_ = true;
                wake_.wait(g, [this] { return stopping_ || !pending_.empty(); });
                idle_ = false;
                if (pending_.empty())
                    return; // stopping, and all synced
            }
            wake_.wait_for(g, kGather, [this] { return stopping_ || waiting_ > 0; });
            if (pending_.empty()) {
                if (stopping_)
                    return;
                flowing = false;
                continue;
            }
            flowing = true;
            std::vector<Pending> batch;
            batch.swap(pending_);
            busy_ = true;
            g.unlock();
            const int failed = syncEach(batch);
            for (const Pending &p : batch)
                ::close(p.fd);
            g.lock();
            busy_ = false;
            if (failed_ == 0)
                failed_ = failed;
            done_.notify_all();
        }
    }

    std::mutex lock_;
    std::condition_variable wake_, done_;
    std::vector<Pending> pending_;
    bool busy_ = false, stopping_ = false;
    bool idle_ = false; // waiting for something to sync
    int waiting_ = 0;
    int failed_ = 0; // the first failed sync's errno since the last wait
    std::thread worker_;
};

Syncer &syncer() {
    static Syncer s;
    return s;
}

} // namespace

bool waitForDisk(int *error) {
    return syncer().wait(error);
}

void syncHandedOver() {
    syncer().waitUntold();
}

bool syncedSoFar(int *error) {
    return syncer().failedSoFar(error);
}

bool syncInBackground(int fd, const struct stat *status) {
    return syncer().hand(fd, status);
}

} // namespace ortav::calib
