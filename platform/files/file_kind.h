// What a path that is not a regular file is, in words for a message.
#pragma once

#include <sys/stat.h>

namespace ortav::files {

inline const char *fileKind(mode_t mode, const char *otherwise) {
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISCHR(mode))
        return "a character device";
    if (S_ISBLK(mode))
        return "a block device";
    if (S_ISSOCK(mode))
        return "a socket";
    return otherwise;
}

} // namespace ortav::files
