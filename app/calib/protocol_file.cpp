#include "protocol_file.h"

#include "cp1251.h"
#include "disk_sync.h"
#include "result_files.h"

#include <cerrno>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ortav::calib {

int openProtocol(const char *path, int *error) {
    return openForAppend(path, error);
}

std::string protocolBytes(std::string_view utf8) {
    const std::string cp = ortav::text::toCp1251(utf8);
    std::string out;
    out.reserve(cp.size() + 8);
    for (char c : cp) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

bool writeProtocol(int handle, std::string_view utf8, int *error) {
    if (handle <= 0) {
        if (error != nullptr)
            *error = EBADF;
        return false;
    }
    // A sync of the lines before that failed is told with this one.
    int synced = 0;
    const bool ok = syncedSoFar(&synced);
    struct stat st {};
    if (!appendWhole(handle, protocolBytes(utf8), error, &st))
        return false;
    if (!syncInBackground(handle, &st)) {
        if (error != nullptr)
            *error = errno;
        return false;
    }
    if (!ok && error != nullptr)
        *error = synced;
    return ok;
}

bool lockProtocol(int handle) {
    if (handle <= 0)
        return false;
    while (::flock(handle, LOCK_EX | LOCK_NB) != 0)
        if (errno != EINTR)
            return false;
    return true;
}

void unlockProtocol(int handle) {
    if (handle > 0)
        ::flock(handle, LOCK_UN);
}

void closeProtocol(int handle) {
    if (handle > 0) {
        waitForDisk();
        ::close(handle);
    }
}

} // namespace ortav::calib
