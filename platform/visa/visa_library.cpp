// Loading the VISA library and forwarding the program's VISA calls to it.
#include "visa_library.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

#include "library.h"
#include "visa.h"

namespace ortav::visa {

namespace {

// The entry points of one loaded VISA library.
struct Table {
    ortav::loader::Library library;
    std::string choice;
    bool simulated = false;
    decltype(&::viOpenDefaultRM) openDefaultRM = nullptr;
    decltype(&::viFindRsrc) findRsrc = nullptr;
    decltype(&::viFindNext) findNext = nullptr;
    decltype(&::viParseRsrc) parseRsrc = nullptr;
    decltype(&::viParseRsrcEx) parseRsrcEx = nullptr; // optional (older libraries)
    decltype(&::viOpen) open = nullptr;
    decltype(&::viClose) close = nullptr;
    decltype(&::viSetAttribute) setAttribute = nullptr;
    decltype(&::viGetAttribute) getAttribute = nullptr;
    decltype(&::viStatusDesc) statusDesc = nullptr;
    decltype(&::viLock) lock = nullptr;
    decltype(&::viUnlock) unlock = nullptr;
    decltype(&::viRead) read = nullptr;
    decltype(&::viWrite) write = nullptr;
    decltype(&::viVQueryf) vQueryf = nullptr;
    // Optional: the program itself does not need them.
    decltype(&::viClear) clear = nullptr;
    decltype(&::viEnableEvent) enableEvent = nullptr;
    decltype(&::viDisableEvent) disableEvent = nullptr;
    decltype(&::viDiscardEvents) discardEvents = nullptr;
    decltype(&::viWaitOnEvent) waitOnEvent = nullptr;
    // The simulated bench's own, asked at every judged point: looked up once.
    int (*benchNoise)(const char *, const char *, int, double *) = nullptr;
    int (*benchResistance)(const char *, int, int, int, double *) = nullptr;
    void (*benchNameOf)(char *, int) = nullptr;
    bool benchLooked = false;
};

std::recursive_mutex &stateMutex() {
    static std::recursive_mutex m;
    return m;
}

struct State {
    Table *current = nullptr; // null: nothing loaded
    bool configured = false;
    std::string error;
    // Every table ever loaded; a library is never unloaded, so a stale session
    // handle or function pointer still points into mapped code.
    std::vector<std::unique_ptr<Table>> tables;
};

State &state() {
    static State s;
    return s;
}

std::string loadFailure(const std::string &library, const std::string &reason) {
    return "Не удалось загрузить библиотеку VISA \"" + library + "\": " + reason;
}

// Loads one library and binds every entry point; null with *why on failure.
std::unique_ptr<Table> loadTable(const std::string &name, std::string *why) {
    auto t = std::make_unique<Table>();
    t->choice = name;
    if (!t->library.load(name)) {
        *why = loadFailure(name, t->library.error());
        return nullptr;
    }
    ortav::loader::Library &lib = t->library;
    bool ok = lib.bind("viOpenDefaultRM", t->openDefaultRM) &&
              lib.bind("viFindRsrc", t->findRsrc) && lib.bind("viFindNext", t->findNext) &&
              lib.bind("viParseRsrc", t->parseRsrc) && lib.bind("viOpen", t->open) &&
              lib.bind("viClose", t->close) && lib.bind("viSetAttribute", t->setAttribute) &&
              lib.bind("viGetAttribute", t->getAttribute) &&
              lib.bind("viStatusDesc", t->statusDesc) && lib.bind("viLock", t->lock) &&
              lib.bind("viUnlock", t->unlock) && lib.bind("viRead", t->read) &&
              lib.bind("viWrite", t->write) && lib.bind("viVQueryf", t->vQueryf);
    if (!ok) {
        *why = loadFailure(name, lib.error());
        return nullptr;
    }
    lib.bind("viParseRsrcEx", t->parseRsrcEx);
    lib.bind("viClear", t->clear);
    lib.bind("viEnableEvent", t->enableEvent);
    lib.bind("viDisableEvent", t->disableEvent);
    lib.bind("viDiscardEvents", t->discardEvents);
    lib.bind("viWaitOnEvent", t->waitOnEvent);
    // The simulated library brings the bench library with it; a vendor's does not.
    t->simulated = lib.symbol("ortavBench_name") != nullptr;
    return t;
}

bool install(std::unique_ptr<Table> t, const std::string &why) {
    State &s = state();
    s.configured = true;
    if (!t) {
        s.current = nullptr;
        s.error = why;
        return false;
    }
    s.error.clear();
    s.current = t.get();
    s.tables.push_back(std::move(t));
    return true;
}

// The table in use, configuring with the default choice on first use.
Table *table() {
    std::lock_guard lock(stateMutex());
    if (!state().configured)
        configure("");
    return state().current;
}

} // namespace

bool configure(const std::string &choice) {
    std::lock_guard lock(stateMutex());
    std::string name = choice;
    if (name.empty()) {
        const char *env = std::getenv("ORTAV_VISA_LIBRARY");
        name = env && *env ? env : kSimulatedLibrary;
    }
    std::string why;
    if (name == "auto") {
        for (const char *vendor : kVendorLibraries) {
            if (auto t = loadTable(vendor, &why))
                return install(std::move(t), "");
        }
        name = kSimulatedLibrary;
    }
    auto t = loadTable(name, &why);
    return install(std::move(t), why);
}

bool selectFromArgs(int argc, const char *const *argv) {
    std::optional<std::string> choice;
    for (int i = 1; i < argc && argv[i]; ++i) {
        std::string_view arg = argv[i];
        if (arg == "--visa") {
            if (i + 1 >= argc || !argv[i + 1]) {
                std::lock_guard lock(stateMutex());
                return install(nullptr, "Ключ --visa требует имени библиотеки VISA");
            }
            choice = argv[++i];
        } else if (arg.starts_with("--visa=")) {
            choice = std::string(arg.substr(7));
        }
    }
    return configure(choice.value_or(""));
}

std::string error() {
    std::lock_guard lock(stateMutex());
    return state().error;
}

bool isLoaded() {
    return table() != nullptr;
}

std::string libraryName() {
    Table *t = table();
    return t ? t->choice : std::string();
}

std::string libraryPath() {
    Table *t = table();
    return t ? t->library.path() : std::string();
}

bool isSimulated() {
    Table *t = table();
    return t && t->simulated;
}

namespace {
// The simulated bench's figures (nullptr from a real VISA library or one
// without them), its functions looked up once: they are asked at every point.
Table *simulatedBench() {
    Table *t = table();
    if (!t || !t->simulated)
        return nullptr;
    std::lock_guard lock(stateMutex());
    if (!t->benchLooked) {
        t->library.bind("ortavBench_multimeterNoise", t->benchNoise);
        t->library.bind("ortavBench_moduleResistance", t->benchResistance);
        t->library.bind("ortavBench_name", t->benchNameOf);
        t->benchLooked = true;
    }
    return t;
}

template <class Fn, class... Args> std::optional<double> askBench(Fn fn, Args... args) {
    double value = 0.0;
    if (fn == nullptr || fn(args..., &value) != 0)
        return std::nullopt;
    return value;
}
} // namespace

// Asked at every judged point (the results name the bench): the function is
// looked up once, its answer every time (another bench may have been loaded).
std::string benchName() {
    Table *t = simulatedBench();
    if (t == nullptr || t->benchNameOf == nullptr)
        return {};
    char buf[256] = {};
    t->benchNameOf(buf, sizeof buf);
    return buf;
}

std::optional<double> benchMultimeterNoise(const std::string &kind, const std::string &resource,
                                           int position) {
    Table *t = simulatedBench();
    if (t == nullptr)
        return std::nullopt;
    return askBench(t->benchNoise, kind.c_str(), resource.c_str(), position);
}

std::optional<double> benchModuleResistance(const std::string &carrier, int position, int channel,
                                            int resistor) {
    Table *t = simulatedBench();
    if (t == nullptr)
        return std::nullopt;
    return askBench(t->benchResistance, carrier.c_str(), position, channel, resistor);
}

std::optional<std::string> benchError() {
    Table *t = table();
    if (!t || !t->simulated)
        return std::nullopt;
    int (*check)(char *, int) = nullptr;
    if (!t->library.bind("ortavBench_check", check))
        return std::nullopt;
    char buf[1024] = {};
    if (check(buf, sizeof buf) == 0)
        return std::nullopt;
    return std::string(buf);
}

} // namespace ortav::visa

// ---------------------------------------------------------------------------
// The program's VISA functions: each forwards to the library in use.

using ortav::visa::table;

#define ORTAV_FORWARD(member, ...)                                                                 \
    do {                                                                                           \
        auto *t = table();                                                                         \
        if (!t)                                                                                    \
            return VI_ERROR_LIBRARY_NFOUND;                                                        \
        if (!t->member)                                                                            \
            return VI_ERROR_NSUP_OPER;                                                             \
        return t->member(__VA_ARGS__);                                                             \
    } while (0)

extern "C" {

ViStatus viOpenDefaultRM(ViPSession vi) {
    ORTAV_FORWARD(openDefaultRM, vi);
}

ViStatus viFindRsrc(ViSession sesn, ViConstString expr, ViPFindList vi, ViPUInt32 retCnt,
                    ViChar desc[]) {
    ORTAV_FORWARD(findRsrc, sesn, expr, vi, retCnt, desc);
}

ViStatus viFindNext(ViFindList vi, ViChar desc[]) {
    ORTAV_FORWARD(findNext, vi, desc);
}

ViStatus viParseRsrc(ViSession rmSesn, ViConstRsrc rsrcName, ViPUInt16 intfType,
                     ViPUInt16 intfNum) {
    ORTAV_FORWARD(parseRsrc, rmSesn, rsrcName, intfType, intfNum);
}

ViStatus viParseRsrcEx(ViSession rmSesn, ViConstRsrc rsrcName, ViPUInt16 intfType,
                       ViPUInt16 intfNum, ViChar rsrcClass[], ViChar expandedUnaliasedName[],
                       ViChar aliasIfExists[]) {
    ORTAV_FORWARD(parseRsrcEx, rmSesn, rsrcName, intfType, intfNum, rsrcClass,
                  expandedUnaliasedName, aliasIfExists);
}

ViStatus viOpen(ViSession sesn, ViConstRsrc name, ViAccessMode mode, ViUInt32 timeout,
                ViPSession vi) {
    ORTAV_FORWARD(open, sesn, name, mode, timeout, vi);
}

ViStatus viClose(ViObject vi) {
    ORTAV_FORWARD(close, vi);
}

ViStatus viSetAttribute(ViObject vi, ViAttr attrName, ViAttrState attrValue) {
    ORTAV_FORWARD(setAttribute, vi, attrName, attrValue);
}

ViStatus viGetAttribute(ViObject vi, ViAttr attrName, void *attrValue) {
    ORTAV_FORWARD(getAttribute, vi, attrName, attrValue);
}

ViStatus viStatusDesc(ViObject vi, ViStatus status, ViChar desc[]) {
    auto *t = table();
    if (t)
        return t->statusDesc(vi, status, desc);
    // Without a library the only status we can have produced is our own.
    std::string text = status == VI_ERROR_LIBRARY_NFOUND
                           ? "A code library required by VISA could not be located or loaded."
                           : ortav::visa::error();
    if (desc) {
        std::strncpy(desc, text.c_str(), 255);
        desc[255] = '\0';
    }
    return status == VI_ERROR_LIBRARY_NFOUND ? VI_SUCCESS : VI_WARN_UNKNOWN_STATUS;
}

ViStatus viLock(ViSession vi, ViAccessMode lockType, ViUInt32 timeout, ViConstKeyId requestedKey,
                ViChar accessKey[]) {
    ORTAV_FORWARD(lock, vi, lockType, timeout, requestedKey, accessKey);
}

ViStatus viUnlock(ViSession vi) {
    ORTAV_FORWARD(unlock, vi);
}

ViStatus viRead(ViSession vi, ViPBuf buf, ViUInt32 cnt, ViPUInt32 retCnt) {
    ORTAV_FORWARD(read, vi, buf, cnt, retCnt);
}

ViStatus viWrite(ViSession vi, ViConstBuf buf, ViUInt32 cnt, ViPUInt32 retCnt) {
    ORTAV_FORWARD(write, vi, buf, cnt, retCnt);
}

ViStatus viClear(ViSession vi) {
    ORTAV_FORWARD(clear, vi);
}

ViStatus viEnableEvent(ViSession vi, ViEventType eventType, ViUInt16 mechanism,
                       ViEventFilter context) {
    ORTAV_FORWARD(enableEvent, vi, eventType, mechanism, context);
}

ViStatus viDisableEvent(ViSession vi, ViEventType eventType, ViUInt16 mechanism) {
    ORTAV_FORWARD(disableEvent, vi, eventType, mechanism);
}

ViStatus viDiscardEvents(ViSession vi, ViEventType eventType, ViUInt16 mechanism) {
    ORTAV_FORWARD(discardEvents, vi, eventType, mechanism);
}

ViStatus viWaitOnEvent(ViSession vi, ViEventType inEventType, ViUInt32 timeout,
                       ViPEventType outEventType, ViPEvent outContext) {
    ORTAV_FORWARD(waitOnEvent, vi, inEventType, timeout, outEventType, outContext);
}

ViStatus viVQueryf(ViSession vi, ViConstString writeFmt, ViConstString readFmt, ViVAList params) {
    ORTAV_FORWARD(vQueryf, vi, writeFmt, readFmt, params);
}

ViStatus viQueryf(ViSession vi, ViConstString writeFmt, ViConstString readFmt, ...) {
    va_list params;
    va_start(params, readFmt);
    ViStatus status = viVQueryf(vi, writeFmt, readFmt, params);
    va_end(params);
    return status;
}

} // extern "C"
