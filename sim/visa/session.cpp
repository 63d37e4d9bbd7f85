#include "session.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>

#include "delay.h"
#include "rsrc_name.h"

namespace ortav::simvisa {

namespace {

struct Table {
    std::map<ViSession, Session> sessions;
    ViSession nextHandle = 0x1001;
    unsigned nextKey = 1;
};

Table &table() {
    static Table t;
    return t;
}

bool sameResource(const Session &a, const Session &b) {
    return a.kind == SessionKind::Instrument && b.kind == SessionKind::Instrument &&
           a.generation == b.generation && a.key == b.key;
}

// Locks that sessions other than vi hold on s's resource.
struct OtherLocks {
    bool exclusive = false;
    std::string sharedKey; // empty: no shared lock
};

OtherLocks otherLocks(ViSession vi, const Session &s) {
    OtherLocks o;
    for (const auto &[handle, other] : table().sessions) {
        if (handle == vi || !sameResource(s, other))
            continue;
        if (other.exclusiveLocks > 0)
            o.exclusive = true;
        if (other.sharedLocks > 0)
            o.sharedKey = other.sharedKey;
    }
    return o;
}

// Waits until the resource is free or the timeout runs out. A lock held by a
// session of this process cannot be released while we wait (one thread), so it
// is waited out in full; one held by another program ends at its time.
ViStatus waitForLock(const ortav::sim::Resource &r, bool heldHere, ViUInt32 timeoutMs) {
    if (!heldHere && !r.lockedByOther())
        return VI_SUCCESS;
    const double inf = std::numeric_limits<double>::infinity();
    const double limit = timeoutMs == VI_TMO_INFINITE ? inf : timeoutMs / 1000.0;
    const double remaining = heldHere ? inf : r.lockRemaining();
    if (std::isfinite(remaining) && remaining <= limit) {
        ortav::clock::waitNow(remaining);
        return VI_SUCCESS;
    }
    waitTimeout(timeoutMs);
    return VI_ERROR_TMO;
}

void copyKey(const std::string &key, char *out) {
    if (!out)
        return;
    size_t n = std::min(key.size(), size_t{255});
    std::memcpy(out, key.data(), n);
    out[n] = '\0';
}

std::string trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
        --e;
    return std::string(s.substr(b, e - b));
}

// One program message received by the device: answers the queries it knows.
void respond(Session &s, const ortav::sim::Resource &r, std::string_view message) {
    std::vector<std::string> replies;
    bool query = false;
    size_t start = 0;
    while (start <= message.size()) {
        size_t semi = message.find(';', start);
        std::string cmd = trim(message.substr(
            start, semi == std::string_view::npos ? std::string_view::npos : semi - start));
        for (char &c : cmd)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (!cmd.empty() && cmd.back() == '?')
            query = true;
        if (cmd == "*IDN?" && !r.idn.empty())
            replies.push_back(r.idn);
        if (semi == std::string_view::npos)
            break;
        start = semi + 1;
    }
    if (!query)
        return;
    // A new query discards a reply nobody read.
    s.output.clear();
    if (r.faults.silent || replies.empty())
        return;
    for (size_t i = 0; i < replies.size(); ++i)
        s.output += (i ? ";" : "") + replies[i];
    s.output += '\n';
}

} // namespace

Session *findSession(ViObject vi) {
    auto it = table().sessions.find(vi);
    return it == table().sessions.end() ? nullptr : &it->second;
}

ViStatus findInstrument(ViObject vi, Session *&s) {
    s = findSession(vi);
    if (!s)
        return VI_ERROR_INV_OBJECT;
    return s->kind == SessionKind::Instrument ? VI_SUCCESS : VI_ERROR_NSUP_OPER;
}

ViSession addSession(Session s) {
    Table &t = table();
    while (t.nextHandle == 0 || t.sessions.count(t.nextHandle))
        ++t.nextHandle;
    ViSession vi = t.nextHandle++;
    t.sessions.emplace(vi, std::move(s));
    return vi;
}

void removeSession(ViSession vi) {
    Table &t = table();
    auto it = t.sessions.find(vi);
    if (it == t.sessions.end())
        return;
    if (it->second.kind == SessionKind::ResourceManager) {
        for (auto c = t.sessions.begin(); c != t.sessions.end();)
            c = c->second.owner == vi ? t.sessions.erase(c) : std::next(c);
    }
    t.sessions.erase(vi);
}

std::string keyOf(const std::string &name) {
    if (auto parsed = parseRsrcName(name))
        return parsed->key;
    std::string k = name;
    for (char &c : k)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return k;
}

ortav::sim::Resource *resourceOf(const Session &s) {
    if (s.kind != SessionKind::Instrument || s.generation != ortav::sim::generation())
        return nullptr;
    for (ortav::sim::Resource &r : ortav::sim::bench().resources)
        if (r.name == s.resource)
            return &r;
    return nullptr;
}

ViStatus acquireLock(ViSession vi, Session &s, ViAccessMode lockType, ViUInt32 timeoutMs,
                     const char *requestedKey, char *accessKey) {
    ortav::sim::Resource *r = resourceOf(s);
    if (!r)
        return VI_ERROR_CONN_LOST;
    const OtherLocks others = otherLocks(vi, s);
    if (lockType == VI_EXCLUSIVE_LOCK) {
        if (s.exclusiveLocks > 0) {
            ++s.exclusiveLocks;
            return VI_SUCCESS_NESTED_EXCLUSIVE;
        }
        const bool heldHere = others.exclusive || !others.sharedKey.empty();
        if (ViStatus st = waitForLock(*r, heldHere, timeoutMs); st != VI_SUCCESS)
            return st;
        ++s.exclusiveLocks;
        return VI_SUCCESS;
    }
    if (lockType != VI_SHARED_LOCK)
        return VI_ERROR_INV_LOCK_TYPE;

    const std::string wanted = requestedKey ? requestedKey : "";
    if (s.sharedLocks > 0) {
        if (!wanted.empty() && wanted != s.sharedKey)
            return VI_ERROR_INV_ACCESS_KEY;
        ++s.sharedLocks;
        copyKey(s.sharedKey, accessKey);
        return VI_SUCCESS_NESTED_SHARED;
    }
    // Joining other holders of a shared lock needs their key.
    const bool heldHere =
        others.exclusive || (!others.sharedKey.empty() && wanted != others.sharedKey);
    if (ViStatus st = waitForLock(*r, heldHere, timeoutMs); st != VI_SUCCESS)
        return st;
    std::string key = others.sharedKey;
    if (key.empty())
        key = !wanted.empty() ? wanted : "ortav-simvisa-key-" + std::to_string(table().nextKey++);
    s.sharedKey = key;
    ++s.sharedLocks;
    copyKey(key, accessKey);
    return VI_SUCCESS;
}

ViStatus releaseLock(Session &s) {
    if (s.exclusiveLocks > 0)
        --s.exclusiveLocks;
    else if (s.sharedLocks > 0)
        --s.sharedLocks;
    else
        return VI_ERROR_SESN_NLOCKED;
    if (s.sharedLocks == 0)
        s.sharedKey.clear();
    if (s.exclusiveLocks > 0)
        return VI_SUCCESS_NESTED_EXCLUSIVE;
    if (s.sharedLocks > 0)
        return VI_SUCCESS_NESTED_SHARED;
    return VI_SUCCESS;
}

ViAccessMode lockState(const Session &s) {
    bool shared = false;
    for (const auto &[handle, other] : table().sessions) {
        if (!sameResource(s, other))
            continue;
        if (other.exclusiveLocks > 0)
            return VI_EXCLUSIVE_LOCK;
        shared = shared || other.sharedLocks > 0;
    }
    if (const ortav::sim::Resource *r = resourceOf(s); r && r->lockedByOther())
        return VI_EXCLUSIVE_LOCK;
    return shared ? VI_SHARED_LOCK : VI_NO_LOCK;
}

ViStatus checkAccess(ViSession vi, const Session &s) {
    const ortav::sim::Resource *r = resourceOf(s);
    if (!r)
        return VI_ERROR_CONN_LOST;
    if (r->lockedByOther())
        return VI_ERROR_RSRC_LOCKED;
    const OtherLocks others = otherLocks(vi, s);
    if (others.exclusive)
        return VI_ERROR_RSRC_LOCKED;
    if (!others.sharedKey.empty() && s.exclusiveLocks == 0 && s.sharedLocks == 0)
        return VI_ERROR_RSRC_LOCKED;
    return VI_SUCCESS;
}

ViStatus deviceWrite(ViSession vi, Session &s, const char *data, size_t size, size_t &written) {
    written = 0;
    if (ViStatus st = checkAccess(vi, s); st != VI_SUCCESS)
        return st;
    const ortav::sim::Resource &r = *resourceOf(s);
    s.input.append(data, size);
    written = size;
    if (s.sendEndEnabled) {
        // END with the last byte ends the message.
        std::string message = std::move(s.input);
        s.input.clear();
        respond(s, r, message);
    } else {
        // Without END the device takes a line feed as the end of a message.
        size_t lf;
        while ((lf = s.input.find('\n')) != std::string::npos) {
            std::string message = s.input.substr(0, lf);
            s.input.erase(0, lf + 1);
            respond(s, r, message);
        }
    }
    return VI_SUCCESS;
}

ViStatus deviceRead(ViSession vi, Session &s, char *buf, size_t cnt, size_t &got) {
    got = 0;
    if (ViStatus st = checkAccess(vi, s); st != VI_SUCCESS)
        return st;
    if (s.output.empty()) {
        waitTimeout(s.timeoutMs);
        return VI_ERROR_TMO;
    }
    size_t n = std::min(cnt, s.output.size());
    bool termChar = false;
    if (s.termCharEnabled) {
        size_t at = s.output.find(static_cast<char>(s.termChar));
        if (at != std::string::npos && at < n) {
            n = at + 1;
            termChar = true;
        }
    }
    std::memcpy(buf, s.output.data(), n);
    s.output.erase(0, n);
    got = n;
    if (s.output.empty())
        return VI_SUCCESS; // END came with the last byte
    return termChar ? VI_SUCCESS_TERM_CHAR : VI_SUCCESS_MAX_CNT;
}

ViStatus deviceReadMessage(ViSession vi, Session &s, std::string &message) {
    message.clear();
    if (ViStatus st = checkAccess(vi, s); st != VI_SUCCESS)
        return st;
    if (s.output.empty()) {
        waitTimeout(s.timeoutMs);
        return VI_ERROR_TMO;
    }
    message = std::move(s.output);
    s.output.clear();
    return VI_SUCCESS;
}

void waitTimeout(ViUInt32 timeoutMs) {
    if (timeoutMs != VI_TMO_INFINITE && timeoutMs > 0)
        ortav::clock::waitNow(timeoutMs / 1000.0);
}

} // namespace ortav::simvisa
