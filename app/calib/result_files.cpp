#include "result_files.h"

#include "file_kind.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ortav::calib {

namespace {

void set(int *error, int value) {
    if (error != nullptr)
        *error = value;
}

} // namespace

std::string reasonText(int error) {
    if (error == kNotRegularFile)
        return "not a regular file";
    if (error == kLockedElsewhere)
        return "another run is writing to it";
    return std::strerror(error);
}

bool regularOrAbsent(const std::string &path, std::string *why) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return errno == ENOENT; // a name not taken; other errors show at the open
    if (S_ISREG(st.st_mode))
        return true;
    if (why != nullptr)
        *why = ortav::files::fileKind(st.st_mode, "not a regular file");
    return false;
}

int openForAppend(const char *path, int *error, struct stat *status) {
    if (path == nullptr || *path == '\0') {
        set(error, ENOENT);
        return -1;
    }
    // Non-blocking: a FIFO without a reader would hold open() forever.
    int fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0) {
        // A FIFO without a reader refuses a non-blocking open with ENXIO.
        set(error, errno == ENXIO ? kNotRegularFile : errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        set(error, kNotRegularFile);
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, O_APPEND);
    if (status != nullptr)
        *status = st;
    // 0 means "no file" to the callers; a process started with stdin closed
    // could be given descriptor 0.
    if (fd == 0) {
        const int other = ::fcntl(fd, F_DUPFD_CLOEXEC, 1);
        set(error, errno);
        ::close(fd);
        fd = other;
    }
    return fd < 0 ? -1 : fd;
}

bool appendWhole(int fd, std::string_view bytes, int *error, struct stat *status) {
    if (fd <= 0) {
        set(error, EBADF);
        return false;
    }
    if (bytes.empty())
        return true;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        set(error, errno);
        return false;
    }
    if (status != nullptr)
        *status = st;
    const off_t before = st.st_size;
    const auto size = static_cast<off_t>(bytes.size());
    // The space is asked for a few blocks ahead, so the lines of a run seldom
    // ask at all; short of those blocks, just the piece's. Only a lack of space
    // refuses here; a file that cannot promise it is written anyway.
    constexpr off_t kAhead = 16 * 1024;
    const bool held = static_cast<off_t>(st.st_blocks) * 512 >= before + size;
    if (!held && ::fallocate(fd, FALLOC_FL_KEEP_SIZE, before, std::max(size, kAhead)) != 0 &&
        ::fallocate(fd, FALLOC_FL_KEEP_SIZE, before, size) != 0 &&
        (errno == ENOSPC || errno == EFBIG || errno == EDQUOT)) {
        set(error, errno);
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int why = n < 0 ? errno : ENOSPC;
            if (done > 0 && ::ftruncate(fd, before) != 0) {
                // Nothing more can be done about the piece; the reason stays the write's.
            }
            set(error, why);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

namespace {
bool syncFolderOf(const std::string &path, int *error) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : path.substr(0, slash);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        *error = errno;
        return false;
    }
    // A file system that cannot sync a folder (EINVAL) has nothing more to make durable.
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL;
    if (!ok)
        *error = errno;
    ::close(fd);
    return ok;
}
} // namespace

bool replaceWhole(const std::string &path, std::string_view bytes, int *error) {
    const std::string temp = path + ".part";
    if (!regularOrAbsent(path) || !regularOrAbsent(temp)) {
        set(error, kNotRegularFile);
        return false;
    }
    const int fd =
        ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0) {
        set(error, errno);
        return false;
    }
    int why = 0;
    bool ok = appendWhole(fd, bytes, &why);
    if (ok && ::fsync(fd) != 0) {
        ok = false;
        why = errno;
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        why = errno;
    }
    if (ok && std::rename(temp.c_str(), path.c_str()) != 0) {
        ok = false;
        why = errno;
    }
    if (!ok) {
        std::remove(temp.c_str());
        set(error, why);
        return false;
    }
    // The rename itself survives a power cut only once its folder is synced.
    if (!syncFolderOf(path, &why)) {
        set(error, why);
        return false;
    }
    return true;
}

} // namespace ortav::calib
