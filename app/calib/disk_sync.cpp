#include "disk_sync.h"

#include <cerrno>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

namespace ortav::calib {

namespace {

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

    bool hand(int fd) {
        const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
        if (copy < 0)
            return ::fdatasync(fd) == 0;
        std::unique_lock<std::mutex> g(lock_);
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
        pending_.push_back(copy);
        g.unlock();
        wake_.notify_all();
        return true;
    }

    bool wait(int *error) {
        std::unique_lock<std::mutex> g(lock_);
        done_.wait(g, [this] { return pending_.empty() && !busy_; });
        const bool ok = failed_ == 0;
        if (!ok && error != nullptr)
            *error = failed_;
        failed_ = 0;
        return ok;
    }

private:
    void run() {
        std::unique_lock<std::mutex> g(lock_);
        for (;;) {
            wake_.wait(g, [this] { return stopping_ || !pending_.empty(); });
            if (pending_.empty())
                return; // stopping, and all synced
            std::vector<int> batch;
            batch.swap(pending_);
            busy_ = true;
            g.unlock();
            int failed = 0;
            for (int fd : batch) {
                if (::fdatasync(fd) != 0 && failed == 0)
                    failed = errno;
                ::close(fd);
            }
            g.lock();
            busy_ = false;
            if (failed_ == 0)
                failed_ = failed;
            done_.notify_all();
        }
    }

    std::mutex lock_;
    std::condition_variable wake_, done_;
    std::vector<int> pending_;
    bool busy_ = false, stopping_ = false;
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

bool syncInBackground(int fd) {
    return syncer().hand(fd);
}

} // namespace ortav::calib
