// The files results are written to (protocol, CSV, JSON summary, charts): only
// regular files, or names not yet taken, are used. A FIFO, a device or a folder
// is refused without ever blocking in open. Appended pieces go in whole or not
// at all, so a full disk never leaves half a line.
#pragma once

#include <string>
#include <string_view>
#include <sys/stat.h>

namespace ortav::calib {

// Our own "errno"s: a path that names something other than a regular file, and
// a protocol another run holds locked.
inline constexpr int kNotRegularFile = -1;
inline constexpr int kLockedElsewhere = -2;

// The reason for an error number (strerror, or kNotRegularFile's).
std::string reasonText(int error);

// Whether the path is a regular file or names nothing yet; else false with the
// reason (what it is).
bool regularOrAbsent(const std::string &path, std::string *why = nullptr);

// Opens for appending, creating the file if needed. A descriptor > 0 (and the
// file's status in *status), or -1 with *error set (kNotRegularFile for
// anything but a regular file).
int openForAppend(const char *path, int *error = nullptr, struct stat *status = nullptr);

// Appends the bytes at the end of the file in one piece: where the file system
// can promise the space first, a full disk refuses the piece before anything is
// written; otherwise a piece cut short is taken back. False with *error set.
// *status: the file's status as it was found before the piece.
bool appendWhole(int fd, std::string_view bytes, int *error = nullptr,
                 struct stat *status = nullptr);

// Replaces the file with the bytes: written beside it, synced, and renamed over
// it, so that a reader never sees half of it, then its folder synced. Both names
// must be regular files or absent. False with *error set; the file is then as
// it was, or, when only the folder's sync failed, new but perhaps not yet safe
// from a power cut.
bool replaceWhole(const std::string &path, std::string_view bytes, int *error = nullptr);

} // namespace ortav::calib
