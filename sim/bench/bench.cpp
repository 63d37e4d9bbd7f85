// The process's one bench: loading, look-ups, carriers, what multimeters see.
#include "bench.h"
#include "bench_yaml.h"
#include "delay.h"
#include "file_kind.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <numbers>
#include <sstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ortav::sim {

extern const char *const kDefaultBenchYaml;

namespace {

// Far beyond any real bench (a few kilobytes), small enough to parse at once.
constexpr long long kMaxBenchBytes = 8ll << 20;

std::string placed(const std::string &file, int line, int column, const std::string &problem) {
    std::ostringstream s;
    s << file;
    if (line > 0) {
        s << ':' << line;
        if (column > 0)
            s << ':' << column;
    }
    s << ": " << problem;
    return s.str();
}

// Resource names are ASCII and compared without case, as VISA does; every
// register access looks its carrier up by name.
char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return asciiLower(x) == asciiLower(y);
           });
}

void putDouble(std::vector<uint8_t> &out, size_t at, double v) {
    static_assert(std::endian::native == std::endian::little, "the image is little-endian");
    std::memcpy(out.data() + at, &v, sizeof v);
}

struct Global {
    std::recursive_mutex mutex;
    std::unique_ptr<Bench> bench;
    std::optional<std::string> error;
    uint64_t generation = 0;
    Random noise{0x5EED};
};

Global &global() {
    static Global g;
    return g;
}

void install(std::unique_ptr<Bench> b) {
    Global &g = global();
    g.bench = std::move(b);
    g.error.reset();
    ++g.generation;
}

// Only a regular file of a sensible size is read: a FIFO or a device such as
// /dev/zero would otherwise block the program or fill its memory.
std::string readFile(const std::string &path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw BenchError(path, 0, 0, std::string("cannot read the file: ") + std::strerror(errno));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        throw BenchError(path, 0, 0, std::string("cannot read the file: ") + std::strerror(errno));
    if (!S_ISREG(st.st_mode))
        throw BenchError(path, 0, 0,
                         std::string("not a regular file (") +
                             ortav::files::fileKind(st.st_mode, "of another kind") +
                             "); a bench description is a YAML file");
    const std::string tooLarge = "the file is larger than " + std::to_string(kMaxBenchBytes) +
                                 " bytes, the most a bench description may have";
    if (st.st_size > kMaxBenchBytes)
        throw BenchError(path, 0, 0, tooLarge);
    // Read to the end, whatever the size said: the file may grow meanwhile.
    std::string text;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw BenchError(path, 0, 0,
                             std::string("cannot read the file: ") + std::strerror(errno));
        if (n == 0)
            return text;
        if (text.size() + static_cast<size_t>(n) > static_cast<size_t>(kMaxBenchBytes))
            throw BenchError(path, 0, 0, tooLarge);
        text.append(buf, static_cast<size_t>(n));
    }
}

void copyOut(const std::string &text, char *out, int size) {
    if (!out || size <= 0)
        return;
    const size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

} // namespace

// ---------------------------------------------------------------------------

BenchError::BenchError(std::string file, int line, int column, std::string problem)
    : std::runtime_error(placed(file, line, column, problem)), file_(std::move(file)), line_(line),
      column_(column), problem_(std::move(problem)) {}

uint64_t Random::next() {
    uint64_t z = (s_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double Random::symmetric() {
    return (next() >> 11) * 0x1.0p-52 - 1.0;
}

double Random::gauss() {
    const double u1 = ((next() >> 11) + 1) * 0x1.0p-53;
    const double u2 = (next() >> 11) * 0x1.0p-53;
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
}

bool Resource::lockedByOther() const {
    return lockRemaining() > 0;
}

double Resource::lockRemaining() const {
    if (faults.lockedFor < 0)
        return std::numeric_limits<double>::infinity();
    return std::max(0.0, loadedAt + faults.lockedFor - clock::now());
}

std::vector<uint8_t> coeffImage(const ModuleConfig &config, double deviation, uint32_t seed) {
    std::vector<uint8_t> out(344, 0);
    const uint32_t sig = kCoeffSignature;
    std::memcpy(out.data(), &sig, 4);
    Random r(seed);
    for (int c = 0; c < kChannels; ++c) {
        const ChannelPhysics &p = config.channel[c];
        for (int k = 0; k < kResistors; ++k) {
            // As calibration measures it: through the channel, series included.
            const double measured = (p.resistor[k] + p.series) * (1.0 + deviation * r.symmetric());
            putDouble(out, 8 + 8 * (18 * c + k), measured);
        }
        putDouble(out, 296 + 8 * c, p.series);
        putDouble(out, 312 + 8 * c, p.gain);
        putDouble(out, 328 + 8 * c, p.offset);
    }
    return out;
}

// ---------------------------------------------------------------------------

OrtavModule *Carrier::module(int p) {
    if (p < 1 || p > kPositions)
        return nullptr;
    return positions[p - 1].module.get();
}

void Carrier::fireTrigger() {
    for (Position &p : positions)
        if (p.module)
            p.module->trigger();
}

void Carrier::poll() {
    if (autoTrigger < 0)
        return;
    for (Position &p : positions)
        if (p.module && p.module->armed() && clock::now() - p.module->armedSince() >= autoTrigger) {
            fireTrigger();
            return;
        }
}

namespace {

std::string lowerName(std::string_view s) {
    std::string out(s);
    for (char &c : out)
        c = asciiLower(c);
    return out;
}

// The entry found last first (every register access of a session looks up
// its carrier by name), then through the index while it covers the whole
// list; a list filled directly is searched from the start.
template <class T, class Name>
T *lookUp(std::vector<T> &list, const std::unordered_map<std::string, size_t> &index, size_t &last,
          std::string_view n, Name nameOf) {
    if (last < list.size() && sameName(nameOf(list[last]), n))
        return &list[last];
    T *found = nullptr;
    if (index.size() == list.size()) {
        const auto it = index.find(lowerName(n));
        if (it == index.end())
            return nullptr;
        if (it->second < list.size() && sameName(nameOf(list[it->second]), n))
            found = &list[it->second];
    }
    for (size_t i = 0; found == nullptr && i < list.size(); ++i)
        if (sameName(nameOf(list[i]), n))
            found = &list[i];
    if (found != nullptr)
        last = static_cast<size_t>(found - list.data());
    return found;
}

} // namespace

Resource *Bench::findResource(std::string_view n) {
    return lookUp(resources, resourceIndex_, lastResource_, n,
                  [](const Resource &r) -> std::string_view { return r.name; });
}

Carrier *Bench::findCarrier(std::string_view resource) {
    return lookUp(carriers, carrierIndex_, lastCarrier_, resource,
                  [](const Carrier &c) -> std::string_view { return c.resource; });
}

Resource &Bench::addResource(Resource r) {
    if (resourceIndex_.size() == resources.size())
        resourceIndex_.emplace(lowerName(r.name), resources.size());
    resources.push_back(std::move(r));
    return resources.back();
}

Carrier &Bench::addCarrier(Carrier c) {
    if (carrierIndex_.size() == carriers.size())
        carrierIndex_.emplace(lowerName(c.resource), carriers.size());
    carriers.push_back(std::move(c));
    return carriers.back();
}

Multimeter *Bench::findMultimeter(MultimeterKind kind, std::string_view resource, int position) {
    for (Multimeter &m : multimeters)
        if (m.kind == kind && sameName(m.resource, resource) &&
            (position == 0 || m.position == position))
            return &m;
    return nullptr;
}

LeadView Bench::leads(const Multimeter &m) {
    for (Carrier &c : carriers)
        c.poll();
    LeadView v;
    auto from = [&v](OrtavModule &mod, int ch) {
        if (!mod.outputConnected(ch))
            return;
        v.connected = true;
        v.resistance = mod.outputResistance(ch);
        v.current = mod.sourceCurrent(ch);
        v.voltage = mod.outputVoltage(ch);
    };
    switch (m.leads.mode) {
    case Leads::Mode::Open:
        break;
    case Leads::Mode::Fixed:
        v.connected = m.leads.resistance < kOpenOhms;
        v.resistance = m.leads.resistance;
        v.voltage = m.leads.voltage;
        v.current = v.connected && v.resistance > 0 ? v.voltage / v.resistance : 0.0;
        break;
    case Leads::Mode::Channel:
        if (Carrier *c = findCarrier(m.leads.carrier))
            if (OrtavModule *mod = c->module(m.leads.position))
                from(*mod, m.leads.channel);
        break;
    case Leads::Mode::SwitchedOn:
        for (Carrier &c : carriers)
            for (int p = 1; p <= kPositions; ++p)
                if (OrtavModule *mod = c.module(p))
                    for (int ch = 1; ch <= kChannels; ++ch)
                        if (mod->outputConnected(ch)) {
                            from(*mod, ch);
                            return v;
                        }
        break;
    }
    return v;
}

double Bench::read(const Multimeter &m, Quantity q) {
    const LeadView v = leads(m);
    double value = q == Quantity::Voltage   ? v.voltage
                   : q == Quantity::Current ? v.current
                                            : v.resistance;
    if (m.noise > 0 && !(q == Quantity::Resistance && !v.connected))
        value *= 1.0 + m.noise * global().noise.gauss();
    return value;
}

// ---------------------------------------------------------------------------

std::recursive_mutex &benchMutex() {
    return global().mutex;
}

Bench &bench() {
    Global &g = global();
    std::lock_guard<std::recursive_mutex> lock(g.mutex);
    if (!g.bench) {
        const char *path = std::getenv("ORTAV_BENCH");
        try {
            if (path && *path)
                install(parseBench(readFile(path), path));
            else
                install(parseBench(kDefaultBenchYaml, "<default bench>"));
        } catch (const std::exception &e) {
            // Nothing of a half-read bench is kept: the bench is empty.
            auto empty = std::make_unique<Bench>();
            empty->origin = path ? path : "<default bench>";
            install(std::move(empty));
            g.error = e.what();
        }
    }
    return *g.bench;
}

void loadFile(const std::string &path) {
    std::lock_guard<std::recursive_mutex> lock(benchMutex());
    install(parseBench(readFile(path), path));
}

void loadString(std::string_view yaml, std::string_view origin) {
    std::lock_guard<std::recursive_mutex> lock(benchMutex());
    install(parseBench(yaml, std::string(origin)));
}

void loadDefault() {
    std::lock_guard<std::recursive_mutex> lock(benchMutex());
    install(parseBench(kDefaultBenchYaml, "<default bench>"));
}

std::string_view defaultBenchYaml() {
    return kDefaultBenchYaml;
}

std::optional<std::string> loadError() {
    std::lock_guard<std::recursive_mutex> lock(benchMutex());
    bench();
    return global().error;
}

uint64_t generation() {
    std::lock_guard<std::recursive_mutex> lock(benchMutex());
    bench();
    return global().generation;
}

} // namespace ortav::sim

using namespace ortav::sim;

extern "C" int ortavBench_check(char *message, int size) {
    const std::optional<std::string> e = loadError();
    copyOut(e.value_or(""), message, size);
    return e ? -1 : 0;
}

extern "C" void ortavBench_name(char *name, int size) {
    std::lock_guard<std::recursive_mutex> lock(benchMutex());
    copyOut(bench().name, name, size);
}

extern "C" int ortavBench_load(const char *path, char *message, int size) {
    try {
        loadFile(path ? path : "");
        copyOut("", message, size);
        return 0;
    } catch (const std::exception &e) {
        copyOut(e.what(), message, size);
        return -1;
    }
}

extern "C" int ortavBench_moduleResistance(const char *carrier, int position, int channel,
                                           int resistor, double *ohms) {
    if (carrier == nullptr || ohms == nullptr || channel < 1 || channel > kChannels ||
        resistor < 1 || resistor > kResistors)
        return -1;
    std::lock_guard<std::recursive_mutex> lock(benchMutex());
    Carrier *c = bench().findCarrier(carrier);
    const OrtavModule *m = c != nullptr ? c->module(position) : nullptr;
    if (m == nullptr)
        return -1;
    const ChannelPhysics &p = m->config().channel[channel - 1];
    *ohms = p.resistor[resistor - 1] + p.series;
    return 0;
}

extern "C" int ortavBench_multimeterNoise(const char *kind, const char *resource, int position,
                                          double *noise) {
    static const std::pair<const char *, MultimeterKind> kinds[] = {
        {"hpe1412", MultimeterKind::Hpe1412},
        {"hp3458a", MultimeterKind::Hp3458a},
        {"mervd", MultimeterKind::Mervd},
        {"sulvat", MultimeterKind::Sulvat},
        {"tarnel", MultimeterKind::Tarnel}};
    if (kind == nullptr || resource == nullptr || noise == nullptr)
        return -1;
    std::lock_guard<std::recursive_mutex> lock(benchMutex());
    for (const auto &[name, k] : kinds)
        if (std::strcmp(kind, name) == 0)
            if (const Multimeter *m = bench().findMultimeter(k, resource, position)) {
                *noise = m->noise;
                return 0;
            }
    return -1;
}
