// Sessions of the simulated VISA library: resource-manager sessions, find lists
// and instrument sessions on the bench's resources, with their locks and the
// message exchange of an instrument that answers "*IDN?".
//
// Every function here expects ortav::sim::benchMutex() to be held.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "bench.h"
#include "visa.h"

namespace ortav::simvisa {

enum class SessionKind { ResourceManager, FindList, Instrument };

struct Session {
    SessionKind kind = SessionKind::ResourceManager;
    ViSession owner = 0; // the resource manager of a find list or instrument session

    // Find list: the names found and the next one to hand out.
    std::vector<std::string> found;
    size_t next = 0;

    // Instrument.
    std::string resource; // the name as the bench lists it
    std::string key;      // comparison key of that name
    uint64_t generation = 0;
    ViUInt32 timeoutMs = 2000;
    ViUInt8 termChar = '\n';
    bool termCharEnabled = false;
    bool sendEndEnabled = true;
    int exclusiveLocks = 0;
    int sharedLocks = 0;
    std::string sharedKey;
    std::string input;  // bytes written that do not complete a message yet
    std::string output; // the device's reply not read yet (one message)
};

// The session of a handle, or nullptr.
Session *findSession(ViObject vi);
// An instrument session: VI_ERROR_INV_OBJECT for no session, VI_ERROR_NSUP_OPER
// for a resource manager's.
ViStatus findInstrument(ViObject vi, Session *&s);
ViSession addSession(Session s);
// Closes a session; a resource manager takes its find lists and instruments with it.
void removeSession(ViSession vi);

// The bench resource of an instrument session; nullptr when the bench was
// replaced since the session was opened.
ortav::sim::Resource *resourceOf(const Session &s);
// The comparison key of a resource name (the name itself, lower-cased, when it
// does not parse).
std::string keyOf(const std::string &name);

// Locks. lockType is VI_EXCLUSIVE_LOCK or VI_SHARED_LOCK; waiting for a lock that
// another program releases within the timeout advances the clock.
ViStatus acquireLock(ViSession vi, Session &s, ViAccessMode lockType, ViUInt32 timeoutMs,
                     const char *requestedKey, char *accessKey);
ViStatus releaseLock(Session &s);
// VI_NO_LOCK, VI_EXCLUSIVE_LOCK or VI_SHARED_LOCK as any session (or another
// program) holds the resource.
ViAccessMode lockState(const Session &s);
// VI_SUCCESS when this session may do I/O on its resource, else VI_ERROR_RSRC_LOCKED.
ViStatus checkAccess(ViSession vi, const Session &s);

// Message exchange.
ViStatus deviceWrite(ViSession vi, Session &s, const char *data, size_t size, size_t &written);
// Reads up to cnt bytes of the reply: VI_SUCCESS at the end of the message,
// VI_SUCCESS_TERM_CHAR at the termination character (when enabled),
// VI_SUCCESS_MAX_CNT when cnt ran out first, VI_ERROR_TMO when nothing comes.
ViStatus deviceRead(ViSession vi, Session &s, char *buf, size_t cnt, size_t &got);
// The whole reply message (formatted reads).
ViStatus deviceReadMessage(ViSession vi, Session &s, std::string &message);

// Waits for the given timeout on the shared clock (nothing for an infinite one,
// which could never end in a single-threaded program).
void waitTimeout(ViUInt32 timeoutMs);

} // namespace ortav::simvisa
