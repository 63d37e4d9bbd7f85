// Puts written lines on the disk from a thread of its own. A verification
// point's settle wait is a few milliseconds, about as long as one sync takes on
// an ordinary disk; syncing on the calling thread would add that to every
// point. The line is in the kernel when write() returns (a crash of the program
// cannot lose it); the sync that makes it survive a power cut follows within a
// second, one for all the lines a file was given meanwhile, and whoever reports
// a result waits for it (waitForDisk).
#pragma once

struct stat;

namespace ortav::calib {

// Waits until every file handed over is on the disk. False if a sync failed
// since the last call; then *error is the first failure's errno.
bool waitForDisk(int *error = nullptr);

// Waits as waitForDisk does, but leaves a failure to be told by the next wait
// or check.
void syncHandedOver();

// Without waiting: false if a sync has failed since the last call or wait
// (*error as above).
bool syncedSoFar(int *error = nullptr);

// Hands the file over to be synced. The file descriptor stays the caller's (the
// syncer works on a duplicate), so it may be closed at once. False if it could
// not be handed over; it has then been synced here.
// *status: the file's, where the caller has it (saves looking it up again).
bool syncInBackground(int fd, const struct stat *status = nullptr);

} // namespace ortav::calib
