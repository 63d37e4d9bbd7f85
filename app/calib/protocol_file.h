// The protocol file: opened for appending (never truncated), written in code
// page 1251 with CR LF line ends. Every piece is in the file when the call
// returns, so a crash of the program loses no judged point, and on the disk
// within a second (disk_sync.h); a run waits for it before it
// reports its verdict.
#pragma once

#include <string>
#include <string_view>

namespace ortav::calib {

// Opens (creating if needed) for appending; only a regular file (result_files.h).
// A handle > 0, or -1 on failure with *error set.
int openProtocol(const char *path, int *error = nullptr);
// Converts UTF-8 text to code page 1251, each line feed to CR LF, writes it at
// the end of the file, whole or not at all, and has it synced to the disk.
// False when the write failed, or a sync of the pieces before (*error says why).
bool writeProtocol(int handle, std::string_view utf8, int *error = nullptr);
// An exclusive lock on the file, taken at once or not at all: another run that
// writes to the same file holds it. Released by unlockProtocol or closing.
bool lockProtocol(int handle);
void unlockProtocol(int handle);
// Waits for the last piece to reach the disk and closes the file.
void closeProtocol(int handle);

// The bytes writeProtocol puts into the file for a text.
std::string protocolBytes(std::string_view utf8);

} // namespace ortav::calib
