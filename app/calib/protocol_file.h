// The protocol file: opened for appending (never truncated), written in code
// page 1251 with CR LF line ends. Every piece is in the file when the call
// returns and on the disk before the next piece is written (disk_sync.h), so a
// crash or a power cut in the middle of a run loses no judged point.
#pragma once

#include <string>
#include <string_view>

namespace ortav::calib {

// Opens (creating if needed) for appending. A handle > 0, or -1 on failure.
int openProtocol(const char *path);
// Converts UTF-8 text to code page 1251, each line feed to CR LF, writes it at
// the end of the file and has it synced to the disk. False when the write
// failed, or the sync of the piece before.
bool writeProtocol(int handle, std::string_view utf8);
// Waits for the last piece to reach the disk and closes the file.
void closeProtocol(int handle);

// The bytes writeProtocol puts into the file for a text.
std::string protocolBytes(std::string_view utf8);

} // namespace ortav::calib
