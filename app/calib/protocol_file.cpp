#include "protocol_file.h"

#include "cp1251.h"
#include "disk_sync.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace ortav::calib {

int openProtocol(const char *path) {
    if (path == nullptr || *path == '\0')
        return -1;
    int fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return -1;
    // 0 means "no file" to the callers; a process started with stdin closed
    // could be given descriptor 0.
    if (fd == 0) {
        const int other = ::fcntl(fd, F_DUPFD_CLOEXEC, 1);
        ::close(fd);
        fd = other;
    }
    return fd < 0 ? -1 : fd;
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

bool writeProtocol(int handle, std::string_view utf8) {
    if (handle <= 0)
        return false;
    // The line before is on the disk before this one is written.
    bool ok = waitForDisk();
    const std::string bytes = protocolBytes(utf8);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(handle, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return syncInBackground(handle) && ok;
}

void closeProtocol(int handle) {
    if (handle > 0) {
        waitForDisk();
        ::close(handle);
    }
}

} // namespace ortav::calib
