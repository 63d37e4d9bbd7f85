// The simulated VISA library: the standard VISA C API over the bench's resources,
// exported under the standard names so that any VISA client can use it.
#include <cstdarg>
#include <cstring>
#include <mutex>
#include <string>

#include "attributes.h"
#include "bench.h"
#include "expression.h"
#include "format.h"
#include "rsrc_name.h"
#include "session.h"
#include "simvisa.h"
#include "status_text.h"
#include "visa.h"

#define SIMVISA_EXPORT extern "C" __attribute__((visibility("default")))

using namespace ortav::simvisa;
namespace sim = ortav::sim;

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

void copyText(const std::string &text, ViChar *out) {
    if (!out)
        return;
    size_t n = std::min(text.size(), size_t{VI_FIND_BUFLEN - 1});
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

Session *session(ViObject vi, SessionKind kind) {
    Session *s = findSession(vi);
    return s && s->kind == kind ? s : nullptr;
}

} // namespace

SIMVISA_EXPORT ViStatus viOpenDefaultRM(ViPSession vi) {
    Guard g(sim::benchMutex());
    if (!vi)
        return VI_ERROR_INV_PARAMETER;
    *vi = VI_NULL;
    // A malformed bench file is VISA's broken configuration.
    if (sim::loadError())
        return VI_ERROR_INV_SETUP;
    Session s;
    s.kind = SessionKind::ResourceManager;
    *vi = addSession(std::move(s));
    return VI_SUCCESS;
}

SIMVISA_EXPORT ViStatus viFindRsrc(ViSession sesn, ViConstString expr, ViPFindList vi,
                                   ViPUInt32 retCnt, ViChar desc[]) {
    Guard g(sim::benchMutex());
    if (vi)
        *vi = VI_NULL;
    if (retCnt)
        *retCnt = 0;
    if (!session(sesn, SessionKind::ResourceManager))
        return findSession(sesn) ? VI_ERROR_NSUP_OPER : VI_ERROR_INV_OBJECT;
    if (!expr)
        return VI_ERROR_INV_EXPR;
    std::optional<Expression> e = Expression::compile(expr);
    if (!e)
        return VI_ERROR_INV_EXPR;
    Session list;
    list.kind = SessionKind::FindList;
    list.owner = sesn;
    for (const sim::Resource &r : sim::bench().resources)
        if (e->matches(r.name))
            list.found.push_back(r.name);
    if (list.found.empty())
        return VI_ERROR_RSRC_NFOUND;
    copyText(list.found[0], desc);
    if (retCnt)
        *retCnt = static_cast<ViUInt32>(list.found.size());
    list.next = 1;
    if (vi)
        *vi = addSession(std::move(list));
    return VI_SUCCESS;
}

SIMVISA_EXPORT ViStatus viFindNext(ViFindList vi, ViChar desc[]) {
    Guard g(sim::benchMutex());
    Session *list = session(vi, SessionKind::FindList);
    if (!list)
        return findSession(vi) ? VI_ERROR_NSUP_OPER : VI_ERROR_INV_OBJECT;
    if (list->next >= list->found.size())
        return VI_ERROR_RSRC_NFOUND;
    copyText(list->found[list->next++], desc);
    return VI_SUCCESS;
}

SIMVISA_EXPORT ViStatus viParseRsrcEx(ViSession rmSesn, ViConstRsrc rsrcName, ViPUInt16 intfType,
                                      ViPUInt16 intfNum, ViChar rsrcClass[],
                                      ViChar expandedUnaliasedName[], ViChar aliasIfExists[]) {
    Guard g(sim::benchMutex());
    if (!session(rmSesn, SessionKind::ResourceManager))
        return findSession(rmSesn) ? VI_ERROR_NSUP_OPER : VI_ERROR_INV_OBJECT;
    if (!rsrcName)
        return VI_ERROR_INV_RSRC_NAME;
    std::optional<RsrcName> p = parseRsrcName(rsrcName);
    if (!p)
        return VI_ERROR_INV_RSRC_NAME;
    if (intfType)
        *intfType = p->intfType;
    if (intfNum)
        *intfNum = p->board;
    copyText(p->rsrcClass, rsrcClass);
    // A resource of the bench goes by the name the bench lists it under.
    std::string expanded = p->expanded;
    for (const sim::Resource &r : sim::bench().resources)
        if (p->sameDevice(keyOf(r.name)))
            expanded = r.name;
    copyText(expanded, expandedUnaliasedName);
    copyText("", aliasIfExists);
    return VI_SUCCESS;
}

SIMVISA_EXPORT ViStatus viParseRsrc(ViSession rmSesn, ViConstRsrc rsrcName, ViPUInt16 intfType,
                                    ViPUInt16 intfNum) {
    return viParseRsrcEx(rmSesn, rsrcName, intfType, intfNum, nullptr, nullptr, nullptr);
}

SIMVISA_EXPORT ViStatus viOpen(ViSession sesn, ViConstRsrc name, ViAccessMode mode,
                               ViUInt32 timeout, ViPSession vi) {
    Guard g(sim::benchMutex());
    if (vi)
        *vi = VI_NULL;
    if (!session(sesn, SessionKind::ResourceManager))
        return findSession(sesn) ? VI_ERROR_NSUP_OPER : VI_ERROR_INV_OBJECT;
    if (!vi)
        return VI_ERROR_INV_PARAMETER;
    if (!name)
        return VI_ERROR_INV_RSRC_NAME;
    std::optional<RsrcName> p = parseRsrcName(name);
    if (!p)
        return VI_ERROR_INV_RSRC_NAME;
    const ViAccessMode lockBits = mode & (VI_EXCLUSIVE_LOCK | VI_SHARED_LOCK);
    if ((mode & ~ViAccessMode(VI_EXCLUSIVE_LOCK | VI_SHARED_LOCK | VI_LOAD_CONFIG)) != 0 ||
        lockBits == (VI_EXCLUSIVE_LOCK | VI_SHARED_LOCK))
        return VI_ERROR_INV_ACC_MODE;
    const sim::Resource *r = nullptr;
    for (const sim::Resource &candidate : sim::bench().resources)
        if (p->sameDevice(keyOf(candidate.name)))
            r = &candidate;
    if (!r || r->faults.openFails)
        return VI_ERROR_RSRC_NFOUND;

    Session s;
    s.kind = SessionKind::Instrument;
    s.owner = sesn;
    s.resource = r->name;
    s.key = keyOf(r->name);
    s.generation = sim::generation();
    ViSession handle = addSession(std::move(s));
    if (lockBits) {
        Session &opened = *findSession(handle);
        char key[256];
        ViStatus st = acquireLock(handle, opened, lockBits, timeout, nullptr, key);
        if (st < VI_SUCCESS) {
            removeSession(handle);
            return st == VI_ERROR_TMO ? VI_ERROR_RSRC_LOCKED : st;
        }
    }
    *vi = handle;
    return VI_SUCCESS;
}

SIMVISA_EXPORT ViStatus viClose(ViObject vi) {
    Guard g(sim::benchMutex());
    if (vi == VI_NULL)
        return VI_WARN_NULL_OBJECT;
    if (!findSession(vi))
        return VI_ERROR_INV_OBJECT;
    removeSession(vi);
    return VI_SUCCESS;
}

SIMVISA_EXPORT ViStatus viGetAttribute(ViObject vi, ViAttr attrName, void *attrValue) {
    Guard g(sim::benchMutex());
    Session *s = findSession(vi);
    if (!s)
        return VI_ERROR_INV_OBJECT;
    return getAttribute(vi, *s, attrName, attrValue);
}

SIMVISA_EXPORT ViStatus viSetAttribute(ViObject vi, ViAttr attrName, ViAttrState attrValue) {
    Guard g(sim::benchMutex());
    Session *s = findSession(vi);
    if (!s)
        return VI_ERROR_INV_OBJECT;
    return setAttribute(*s, attrName, attrValue);
}

SIMVISA_EXPORT ViStatus viStatusDesc(ViObject vi, ViStatus status, ViChar desc[]) {
    (void)vi;
    if (!desc)
        return VI_ERROR_INV_PARAMETER;
    if (const char *text = statusText(status)) {
        copyText(text, desc);
        return VI_SUCCESS;
    }
    char buf[96];
    std::snprintf(buf, sizeof buf, "Unknown status code 0x%08X.", static_cast<unsigned>(status));
    copyText(buf, desc);
    return VI_WARN_UNKNOWN_STATUS;
}

SIMVISA_EXPORT ViStatus viLock(ViSession vi, ViAccessMode lockType, ViUInt32 timeout,
                               ViConstKeyId requestedKey, ViChar accessKey[]) {
    Guard g(sim::benchMutex());
    Session *s = nullptr;
    if (ViStatus st = findInstrument(vi, s); st != VI_SUCCESS)
        return st;
    return acquireLock(vi, *s, lockType, timeout, requestedKey, accessKey);
}

SIMVISA_EXPORT ViStatus viUnlock(ViSession vi) {
    Guard g(sim::benchMutex());
    Session *s = nullptr;
    if (ViStatus st = findInstrument(vi, s); st != VI_SUCCESS)
        return st;
    return releaseLock(*s);
}

SIMVISA_EXPORT ViStatus viWrite(ViSession vi, ViConstBuf buf, ViUInt32 cnt, ViPUInt32 retCnt) {
    Guard g(sim::benchMutex());
    if (retCnt)
        *retCnt = 0;
    Session *s = nullptr;
    if (ViStatus st = findInstrument(vi, s); st != VI_SUCCESS)
        return st;
    if (!buf && cnt)
        return VI_ERROR_INV_PARAMETER;
    size_t written = 0;
    ViStatus st = deviceWrite(vi, *s, reinterpret_cast<const char *>(buf), cnt, written);
    if (retCnt)
        *retCnt = static_cast<ViUInt32>(written);
    return st;
}

SIMVISA_EXPORT ViStatus viRead(ViSession vi, ViPBuf buf, ViUInt32 cnt, ViPUInt32 retCnt) {
    Guard g(sim::benchMutex());
    if (retCnt)
        *retCnt = 0;
    Session *s = nullptr;
    if (ViStatus st = findInstrument(vi, s); st != VI_SUCCESS)
        return st;
    if (!buf && cnt)
        return VI_ERROR_INV_PARAMETER;
    size_t got = 0;
    ViStatus st = deviceRead(vi, *s, reinterpret_cast<char *>(buf), cnt, got);
    if (retCnt)
        *retCnt = static_cast<ViUInt32>(got);
    return st;
}

SIMVISA_EXPORT ViStatus viClear(ViSession vi) {
    Guard g(sim::benchMutex());
    Session *s = nullptr;
    if (ViStatus st = findInstrument(vi, s); st != VI_SUCCESS)
        return st;
    if (ViStatus st = checkAccess(vi, *s); st != VI_SUCCESS)
        return st;
    s->input.clear();
    s->output.clear();
    return VI_SUCCESS;
}

SIMVISA_EXPORT ViStatus viVQueryf(ViSession vi, ViConstString writeFmt, ViConstString readFmt,
                                  ViVAList params) {
    Guard g(sim::benchMutex());
    Session *s = nullptr;
    if (ViStatus st = findInstrument(vi, s); st != VI_SUCCESS)
        return st;
    va_list args;
    va_copy(args, params);
    std::string command;
    ViStatus st = formatWrite(writeFmt, &args, command);
    if (st == VI_SUCCESS) {
        size_t written = 0;
        st = deviceWrite(vi, *s, command.data(), command.size(), written);
    }
    std::string reply;
    if (st == VI_SUCCESS)
        st = deviceReadMessage(vi, *s, reply);
    if (st == VI_SUCCESS)
        st = scanRead(readFmt, reply, &args);
    va_end(args);
    return st;
}

SIMVISA_EXPORT ViStatus viQueryf(ViSession vi, ViConstString writeFmt, ViConstString readFmt, ...) {
    va_list params;
    va_start(params, readFmt);
    ViStatus st = viVQueryf(vi, writeFmt, readFmt, params);
    va_end(params);
    return st;
}

// Events: the simulated devices raise none, so none can be enabled; turning them
// off and discarding them (what clients do before closing) succeeds.
namespace {

bool validMechanism(ViUInt16 mechanism) {
    return mechanism == VI_ALL_MECH ||
           (mechanism != 0 && (mechanism & ~(VI_QUEUE | VI_HNDLR | VI_SUSPEND_HNDLR)) == 0);
}

ViStatus eventCall(ViSession vi, ViEventType eventType, ViUInt16 mechanism, ViStatus nothingToDo) {
    Guard g(sim::benchMutex());
    if (!findSession(vi))
        return VI_ERROR_INV_OBJECT;
    if (!validMechanism(mechanism))
        return VI_ERROR_INV_MECH;
    return eventType == VI_ALL_ENABLED_EVENTS ? nothingToDo : VI_ERROR_INV_EVENT;
}

} // namespace

SIMVISA_EXPORT ViStatus viEnableEvent(ViSession vi, ViEventType eventType, ViUInt16 mechanism,
                                      ViEventFilter context) {
    (void)context;
    ViStatus st = eventCall(vi, eventType, mechanism, VI_ERROR_INV_EVENT);
    return st == VI_ERROR_INV_MECH || st == VI_ERROR_INV_OBJECT ? st : VI_ERROR_INV_EVENT;
}

SIMVISA_EXPORT ViStatus viDisableEvent(ViSession vi, ViEventType eventType, ViUInt16 mechanism) {
    return eventCall(vi, eventType, mechanism, VI_SUCCESS_EVENT_DIS);
}

SIMVISA_EXPORT ViStatus viDiscardEvents(ViSession vi, ViEventType eventType, ViUInt16 mechanism) {
    return eventCall(vi, eventType, mechanism, VI_SUCCESS_QUEUE_EMPTY);
}

SIMVISA_EXPORT ViStatus viWaitOnEvent(ViSession vi, ViEventType inEventType, ViUInt32 timeout,
                                      ViPEventType outEventType, ViPEvent outContext) {
    (void)timeout;
    Guard g(sim::benchMutex());
    if (outEventType)
        *outEventType = 0;
    if (outContext)
        *outContext = VI_NULL;
    if (!findSession(vi))
        return VI_ERROR_INV_OBJECT;
    return inEventType == VI_ALL_ENABLED_EVENTS ? VI_ERROR_NENABLED : VI_ERROR_INV_EVENT;
}

// The library links with -Bsymbolic: these addresses are its own functions,
// whatever the program defines under the same names.
const OwnFunctions &ortav::simvisa::ownFunctions() {
    static const OwnFunctions functions{&viOpenDefaultRM, &viOpen, &viClose, &viGetAttribute};
    return functions;
}
