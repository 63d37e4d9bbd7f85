// Reading the YAML bench description, with one clear message for the first
// problem found: the file, the line and column, and what is wrong.
#include "bench_yaml.h"
#include "delay.h"

#include <yaml-cpp/depthguard.h>
#include <yaml-cpp/eventhandler.h>
#include <yaml-cpp/yaml.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <set>
#include <sstream>
#include <unordered_map>

namespace ortav::sim {

namespace {

class Reader {
public:
    explicit Reader(std::string file) : file_(std::move(file)) {}

    [[noreturn]] void fail(const YAML::Node &at, const std::string &problem) const {
        const YAML::Mark m = at.Mark();
        if (m.is_null())
            throw BenchError(file_, 0, 0, problem);
        throw BenchError(file_, m.line + 1, m.column + 1, problem);
    }

    // A mapping holding only the given keys, each once.
    void expectMap(const YAML::Node &n, const std::string &what,
                   std::initializer_list<const char *> keys) const {
        if (!n.IsMap())
            fail(n, what + " must be a mapping of keys and values");
        std::set<std::string> seen;
        for (const auto &kv : n) {
            const std::string key = kv.first.Scalar();
            bool known = false;
            for (const char *k : keys)
                known = known || key == k;
            if (!known) {
                std::string list;
                for (const char *k : keys)
                    list += std::string(list.empty() ? "" : ", ") + k;
                fail(kv.first,
                     "unknown key '" + key + "' in " + what + " (known keys: " + list + ")");
            }
            if (!seen.insert(key).second)
                fail(kv.first, "key '" + key + "' given twice in " + what);
        }
    }

    YAML::Node required(const YAML::Node &map, const char *key, const std::string &what) const {
        YAML::Node v = map[key];
        if (!v)
            fail(map, what + " lacks the key '" + key + "'");
        return v;
    }

    std::string text(const YAML::Node &n, const std::string &what) const {
        if (!n.IsScalar())
            fail(n, what + " must be a text");
        return n.Scalar();
    }

    long long integer(const YAML::Node &n, const std::string &what, long long lo,
                      long long hi) const {
        if (!n.IsScalar())
            fail(n, what + " must be an integer");
        const std::string &s = n.Scalar();
        const bool hex = s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
        char *end = nullptr;
        errno = 0;
        const long long v = std::strtoll(s.c_str(), &end, hex ? 16 : 10);
        if (s.empty() || *end != '\0' || errno)
            fail(n, what + " must be an integer, not '" + s + "'");
        if (v < lo || v > hi)
            fail(n, what + " must lie in " + std::to_string(lo) + ".." + std::to_string(hi) +
                        ", not " + s);
        return v;
    }

    double number(const YAML::Node &n, const std::string &what) const {
        if (!n.IsScalar())
            fail(n, what + " must be a number");
        const std::string &s = n.Scalar();
        // Read with a decimal point whatever the process's locale: the library
        // may be loaded by a program that adopted the user's (Qt does).
        const char *first = s.data();
        const char *last = s.data() + s.size();
        if (first != last && *first == '+' && last - first > 1 && first[1] != '-')
            ++first;
        double v = 0.0;
        const auto [end, ec] = std::from_chars(first, last, v);
        if (s.empty() || ec != std::errc() || end != last || !std::isfinite(v))
            fail(n, what + " must be a number, not '" + s + "'");
        return v;
    }

    // A number in lo..hi, both included.
    double number(const YAML::Node &n, const std::string &what, double lo, double hi) const {
        const double v = number(n, what);
        if (v < lo || v > hi)
            fail(n, what + " must lie in " + shortest(lo) + ".." + shortest(hi) + ", not " +
                        n.Scalar());
        return v;
    }

    double positive(const YAML::Node &n, const std::string &what) const {
        const double v = number(n, what);
        if (!(v > 0))
            fail(n, what + " must be greater than 0");
        return v;
    }

    bool boolean(const YAML::Node &n, const std::string &what) const {
        const std::string s = n.IsScalar() ? n.Scalar() : "";
        if (s == "true" || s == "yes" || s == "on")
            return true;
        if (s == "false" || s == "no" || s == "off")
            return false;
        fail(n, what + " must be true or false");
    }

    template <typename T>
    T choice(const YAML::Node &n, const std::string &what,
             std::initializer_list<std::pair<const char *, T>> options) const {
        const std::string s = n.IsScalar() ? n.Scalar() : "";
        std::string list;
        for (const auto &o : options) {
            if (s == o.first)
                return o.second;
            list += std::string(list.empty() ? "" : ", ") + o.first;
        }
        fail(n, what + " must be one of " + list + (s.empty() ? "" : ", not '" + s + "'"));
    }

    // A number for both channels, or a list of two.
    std::array<double, kChannels> perChannel(const YAML::Node &n, const std::string &what) const {
        if (n.IsSequence()) {
            if (n.size() != kChannels)
                fail(n, what + " must give 2 values (channel 1, channel 2), not " +
                            std::to_string(n.size()));
            return {number(n[0], what), number(n[1], what)};
        }
        const double v = number(n, what);
        return {v, v};
    }

    std::array<double, kResistors> eighteen(const YAML::Node &n, const std::string &what,
                                            double lo = -HUGE_VAL, double hi = HUGE_VAL) const {
        if (!n.IsSequence() || n.size() != kResistors)
            fail(n, what + " must be a list of 18 numbers (resistors 0..17)");
        std::array<double, kResistors> out{};
        for (int k = 0; k < kResistors; ++k)
            out[k] = number(n[k], what, lo, hi);
        return out;
    }

    // Without the locale: "0.9", "-0.9", "9".
    static std::string shortest(double v) {
        char buf[32];
        const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
        return ec == std::errc() ? std::string(buf, end) : std::string("?");
    }

    const std::string &file() const { return file_; }

private:
    std::string file_;
};

// ---------------------------------------------------------------------------
// Resources.

// "VXI0::8::INSTR" and the like: the interface board and the address fields.
std::vector<std::string> splitName(const std::string &name) {
    std::vector<std::string> parts;
    size_t from = 0;
    for (;;) {
        const size_t at = name.find("::", from);
        parts.push_back(name.substr(from, at - from));
        if (at == std::string::npos)
            return parts;
        from = at + 2;
    }
}

// The leading decimal digits of a name field ("8" of "8", "22" of "22"), as
// atoi reads them; fallback when there are none or the number is too large.
int leadingNumber(std::string_view s, int fallback = 0) {
    int v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return ec == std::errc() ? v : fallback;
}

// The board number after the interface name ("VXI3" -> 3); 0 when the name
// does not begin with it (a kind given for a name of another form).
int boardOf(const std::string &head, std::string_view prefix) {
    if (head.size() <= prefix.size() || head.compare(0, prefix.size(), prefix) != 0)
        return 0;
    return leadingNumber(std::string_view(head).substr(prefix.size()));
}

std::string upper(std::string s) {
    for (char &c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

Resource readResource(const Reader &r, const YAML::Node &n) {
    const std::string what = "resource";
    r.expectMap(n, what,
                {"name", "kind", "board", "slot", "manufacturer", "model", "mainframe_la", "la",
                 "address", "secondary", "serial", "idn", "faults"});
    Resource res;
    res.loadedAt = clock::now();
    const YAML::Node name = r.required(n, "name", what);
    res.name = r.text(name, "resource name");
    const std::vector<std::string> parts = splitName(res.name);
    const std::string head = upper(parts[0]);

    // The kind follows from the name unless given.
    if (n["kind"]) {
        res.kind = r.choice<ResourceKind>(n["kind"], "resource kind",
                                          {{"vxi", ResourceKind::Vxi},
                                           {"gpib", ResourceKind::Gpib},
                                           {"usb", ResourceKind::Usb},
                                           {"tcpip", ResourceKind::Tcpip}});
    } else if (head.rfind("VXI", 0) == 0) {
        res.kind = ResourceKind::Vxi;
    } else if (head.rfind("GPIB", 0) == 0) {
        res.kind = ResourceKind::Gpib;
    } else if (head.rfind("USB", 0) == 0) {
        res.kind = ResourceKind::Usb;
    } else if (head.rfind("TCPIP", 0) == 0) {
        res.kind = ResourceKind::Tcpip;
    } else {
        r.fail(name, "cannot tell the kind of resource '" + res.name +
                         "' (the name begins with neither VXI, GPIB, USB nor TCPIP; give 'kind')");
    }
    if (upper(parts.back()) != "INSTR" || parts.size() < 2)
        r.fail(name, "resource name '" + res.name + "' must end in ::INSTR");

    // Defaults from the name, then the explicit fields.
    switch (res.kind) {
    case ResourceKind::Vxi:
        res.board = boardOf(head, "VXI");
        if (parts.size() == 3)
            res.la = leadingNumber(parts[1]);
        break;
    case ResourceKind::Gpib:
        res.board = boardOf(head, "GPIB");
        if (parts.size() >= 3)
            res.gpibPrimary = leadingNumber(parts[1]);
        if (parts.size() == 4)
            res.gpibSecondary = leadingNumber(parts[2], -1);
        break;
    case ResourceKind::Usb:
        res.board = boardOf(head, "USB");
        if (parts.size() >= 5) {
            res.manufacturer = static_cast<uint16_t>(std::strtol(parts[1].c_str(), nullptr, 0));
            res.modelCode = static_cast<uint16_t>(std::strtol(parts[2].c_str(), nullptr, 0));
            res.usbSerial = parts[3];
        }
        break;
    case ResourceKind::Tcpip:
        res.board = boardOf(head, "TCPIP");
        if (parts.size() >= 3)
            res.tcpipAddress = parts[1];
        break;
    }
    if (n["board"])
        res.board = static_cast<int>(r.integer(n["board"], "board", 0, 255));
    if (n["slot"])
        res.slot = static_cast<int>(r.integer(n["slot"], "slot", 0, 255));
    if (n["manufacturer"])
        res.manufacturer =
            static_cast<uint16_t>(r.integer(n["manufacturer"], "manufacturer", 0, 0xFFFF));
    if (n["model"])
        res.modelCode = static_cast<uint16_t>(r.integer(n["model"], "model", 0, 0xFFFF));
    if (n["mainframe_la"])
        res.mainframeLA = static_cast<int>(r.integer(n["mainframe_la"], "mainframe_la", 0, 255));
    if (n["la"])
        res.la = static_cast<int>(r.integer(n["la"], "la", 0, 255));
    if (n["address"]) {
        if (res.kind == ResourceKind::Gpib)
            res.gpibPrimary = static_cast<int>(r.integer(n["address"], "GPIB address", 0, 30));
        else if (res.kind == ResourceKind::Tcpip)
            res.tcpipAddress = r.text(n["address"], "TCPIP address");
        else
            r.fail(n["address"], "'address' belongs to GPIB and TCPIP resources");
    }
    if (n["secondary"])
        res.gpibSecondary = static_cast<int>(r.integer(n["secondary"], "secondary", 0, 30));
    if (n["serial"])
        res.usbSerial = r.text(n["serial"], "serial");
    if (n["idn"])
        res.idn = r.text(n["idn"], "idn");
    if (YAML::Node f = n["faults"]) {
        r.expectMap(f, "resource faults", {"locked", "silent", "open_fails"});
        if (f["locked"]) {
            const YAML::Node l = f["locked"];
            res.faults.lockedFor =
                l.IsScalar() && l.Scalar() == "forever" ? -1.0 : r.positive(l, "locked (seconds)");
        }
        if (f["silent"])
            res.faults.silent = r.boolean(f["silent"], "silent");
        if (f["open_fails"])
            res.faults.openFails = r.boolean(f["open_fails"], "open_fails");
    }
    return res;
}

// ---------------------------------------------------------------------------
// Modules.

// Spreads (uniform in +-spread) of real resistors and of stored values: below
// 1, so that every value stays positive.
constexpr double kMaxSpread = 0.9;

void readEeprom(const Reader &r, const YAML::Node &n, ModuleConfig &m) {
    auto image = [&](const YAML::Node &at, double deviation, uint32_t seed) {
        const std::string s = r.text(at, "eeprom image");
        std::vector<uint8_t> bytes(kEepromSize, 0xFF);
        if (s == "valid" || s == "corrupt") {
            const std::vector<uint8_t> img = coeffImage(m, deviation, seed);
            std::copy(img.begin(), img.end(), bytes.begin());
            if (s == "corrupt") // signed, but resistor 0 of channel 1 is garbage
                std::fill(bytes.begin() + 8, bytes.begin() + 16, 0xA5);
        } else if (s == "absent") {
            m.eeprom = EepromPresence::Absent;
        } else if (s != "blank") {
            r.fail(at, "eeprom must be one of valid, blank, corrupt, absent, not '" + s + "'");
        }
        m.eepromBytes = std::move(bytes);
    };
    if (n.IsScalar()) {
        image(n, 0.0, 1);
        return;
    }
    r.expectMap(n, "eeprom", {"image", "deviation", "seed", "bytes", "at"});
    const double deviation =
        n["deviation"] ? r.number(n["deviation"], "eeprom deviation", 0.0, kMaxSpread) : 0.0;
    const uint32_t seed =
        n["seed"] ? static_cast<uint32_t>(r.integer(n["seed"], "seed", 0, 0xFFFFFFFF)) : 1;
    if (n["image"]) {
        image(n["image"], deviation, seed);
    } else {
        YAML::Node blank = YAML::Node("blank");
        image(blank, 0.0, 1);
    }
    if (YAML::Node b = n["bytes"]) {
        if (!b.IsSequence())
            r.fail(b, "eeprom bytes must be a list of byte values");
        const long long at = n["at"] ? r.integer(n["at"], "eeprom at", 0, kEepromSize - 1) : 0;
        if (at + static_cast<long long>(b.size()) > kEepromSize)
            r.fail(b, "eeprom bytes run past the end of the EEPROM (" +
                          std::to_string(kEepromSize) + " bytes)");
        for (size_t i = 0; i < b.size(); ++i)
            m.eepromBytes[at + i] = static_cast<uint8_t>(r.integer(b[i], "eeprom byte", 0, 255));
    } else if (n["at"]) {
        r.fail(n["at"], "'at' needs 'bytes'");
    }
}

void readModuleFaults(const Reader &r, const YAML::Node &n, ModuleFaults &f) {
    r.expectMap(
        n, "module faults",
        {"stuck", "id", "access", "busy", "open_resistor", "dead_source", "eeprom_wp_ignored"});
    auto offset = [&](const YAML::Node &map, const std::string &what) {
        const YAML::Node o = r.required(map, "register", what);
        const auto v =
            static_cast<uint32_t>(r.integer(o, "register offset", 0, reg::WindowSize - 2));
        if (v & 1)
            r.fail(o, "register offset must be even (16-bit registers), not " + o.Scalar());
        return v;
    };
    if (YAML::Node s = n["stuck"]) {
        if (!s.IsSequence())
            r.fail(s, "stuck must be a list of {register, mask, level}");
        for (const YAML::Node &e : s) {
            r.expectMap(e, "stuck bits", {"register", "mask", "level"});
            StuckBits b;
            b.offset = offset(e, "stuck bits");
            b.mask = static_cast<uint16_t>(
                r.integer(r.required(e, "mask", "stuck bits"), "mask", 1, 0xFFFF));
            b.level =
                static_cast<int>(r.integer(r.required(e, "level", "stuck bits"), "level", 0, 1));
            f.stuck.push_back(b);
        }
    }
    if (n["id"])
        f.id = static_cast<uint16_t>(r.integer(n["id"], "id", 0, 0xFFFF));
    if (YAML::Node a = n["access"]) {
        if (!a.IsSequence())
            r.fail(a, "access must be a list of {register, on}");
        for (const YAML::Node &e : a) {
            r.expectMap(e, "access fault", {"register", "on"});
            AccessFault af;
            af.offset = offset(e, "access fault");
            if (e["on"]) {
                const int on =
                    r.choice<int>(e["on"], "on", {{"read", 1}, {"write", 2}, {"both", 3}});
                af.onRead = on & 1;
                af.onWrite = on & 2;
            }
            f.access.push_back(af);
        }
    }
    if (n["busy"])
        f.busy = r.boolean(n["busy"], "busy");
    if (YAML::Node o = n["open_resistor"]) {
        if (!o.IsSequence())
            r.fail(o, "open_resistor must be a list of {channel, resistor}");
        for (const YAML::Node &e : o) {
            r.expectMap(e, "open resistor", {"channel", "resistor"});
            const int ch = static_cast<int>(
                r.integer(r.required(e, "channel", "open resistor"), "channel", 1, 2));
            const int k = static_cast<int>(
                r.integer(r.required(e, "resistor", "open resistor"), "resistor", 0, 17));
            f.openResistors[ch - 1] |= 1u << k;
        }
    }
    if (YAML::Node dsrc = n["dead_source"]) {
        if (!dsrc.IsSequence())
            r.fail(dsrc, "dead_source must be a list of channels");
        for (const YAML::Node &e : dsrc)
            f.deadSource[r.integer(e, "dead_source channel", 1, 2) - 1] = true;
    }
    if (n["eeprom_wp_ignored"])
        f.eepromWpIgnored = r.boolean(n["eeprom_wp_ignored"], "eeprom_wp_ignored");
}

// Relative errors of real resistors: from a tenth to ten times the nominal, so
// that every resistor conducts and none is beyond what a wrong part would be.
constexpr double kMinError = -0.9;
constexpr double kMaxError = 9.0;

std::unique_ptr<OrtavModule> readModule(const Reader &r, const YAML::Node &n) {
    ModuleConfig m;
    if (n.IsMap()) {
        r.expectMap(n, "ORTAV module",
                    {"type", "hw_version", "id_high", "resistor_error", "resistors", "series",
                     "current_gain", "current_offset", "eeprom", "faults"});
        if (n["hw_version"])
            m.hwVersion = static_cast<int>(r.integer(n["hw_version"], "hw_version", 1, 2));
        if (n["id_high"])
            m.idHigh = static_cast<uint8_t>(r.integer(n["id_high"], "id_high", 0, 255));
    }
    // Nominal physics, then the real errors.
    std::array<std::array<double, kResistors>, kChannels> error{};
    if (n.IsMap() && n["resistor_error"]) {
        const YAML::Node e = n["resistor_error"];
        if (e.IsMap()) {
            r.expectMap(e, "resistor_error", {"spread", "seed"});
            const double spread = r.number(r.required(e, "spread", "resistor_error"),
                                           "resistor_error spread", 0.0, kMaxSpread);
            Random rnd(e["seed"] ? r.integer(e["seed"], "seed", 0, 0xFFFFFFFF) : 1);
            for (auto &ch : error)
                for (double &x : ch)
                    x = spread * rnd.symmetric();
        } else if (e.IsSequence() && e.size() == kChannels && e[0].IsSequence()) {
            error = {r.eighteen(e[0], "resistor_error", kMinError, kMaxError),
                     r.eighteen(e[1], "resistor_error", kMinError, kMaxError)};
        } else if (e.IsSequence()) {
            error[0] = error[1] = r.eighteen(e, "resistor_error", kMinError, kMaxError);
        } else {
            const double x = r.number(e, "resistor_error", kMinError, kMaxError);
            for (auto &ch : error)
                ch.fill(x);
        }
    }
    for (int c = 0; c < kChannels; ++c)
        for (int k = 0; k < kResistors; ++k)
            m.channel[c].resistor[k] = nominalResistor(m.hwVersion, k) * (1.0 + error[c][k]);
    if (n.IsMap()) {
        if (YAML::Node res = n["resistors"]) {
            if (n["resistor_error"])
                r.fail(res, "give either resistors or resistor_error, not both");
            if (!res.IsSequence() || res.size() != kChannels)
                r.fail(res,
                       "resistors must be two lists of 18 values in ohms (channel 1, channel 2)");
            for (int c = 0; c < kChannels; ++c) {
                m.channel[c].resistor = r.eighteen(res[c], "resistors");
                for (int k = 0; k < kResistors; ++k)
                    if (!(m.channel[c].resistor[k] > 0))
                        r.fail(res[c][k], "a resistor value must be greater than 0 ohms");
            }
        }
        if (n["series"]) {
            const auto v = r.perChannel(n["series"], "series");
            for (int c = 0; c < kChannels; ++c) {
                if (v[c] < 0)
                    r.fail(n["series"], "series resistance must not be negative");
                m.channel[c].series = v[c];
            }
        }
        if (n["current_gain"]) {
            const auto v = r.perChannel(n["current_gain"], "current_gain");
            for (int c = 0; c < kChannels; ++c) {
                if (!(v[c] > 0))
                    r.fail(n["current_gain"],
                           "current_gain must be greater than 0 codes per ampere");
                m.channel[c].gain = v[c];
            }
        }
        if (n["current_offset"]) {
            const auto v = r.perChannel(n["current_offset"], "current_offset");
            for (int c = 0; c < kChannels; ++c)
                m.channel[c].offset = v[c];
        }
        if (n["faults"])
            readModuleFaults(r, n["faults"], m.faults);
    }
    // The EEPROM last: a valid image is made from the physics above.
    if (n.IsMap() && n["eeprom"]) {
        readEeprom(r, n["eeprom"], m);
    } else {
        YAML::Node valid = YAML::Node("valid");
        readEeprom(r, valid, m);
    }
    return std::make_unique<OrtavModule>(std::move(m));
}

// ---------------------------------------------------------------------------
// Carriers and multimeters.

void readPosition(const Reader &r, const YAML::Node &n, Position &p) {
    YAML::Node type = n.IsMap() ? n["type"] : n;
    if (n.IsMap() && !type)
        r.fail(n, "a position lacks the key 'type'");
    if (type.IsScalar() && (type.Scalar() == "empty" || type.Scalar() == "ortav")) {
        p.type = type.Scalar() == "empty" ? 0 : kOrtavModel;
    } else {
        p.type = static_cast<uint16_t>(
            r.integer(type, "mezzanine type (empty, ortav or a type code)", 0, 0xFFFF));
    }
    if (p.type == kOrtavModel)
        p.module = readModule(r, n);
    else if (n.IsMap() && n.size() > 1)
        r.fail(n, "only an ORTAV position (type ortav or 15) takes module settings");
}

Carrier readCarrier(const Reader &r, const YAML::Node &n, Bench &b) {
    r.expectMap(n, "carrier", {"resource", "positions", "auto_trigger"});
    Carrier c;
    const YAML::Node res = r.required(n, "resource", "carrier");
    c.resource = r.text(res, "carrier resource");
    if (!b.findResource(c.resource))
        r.fail(res, "carrier resource '" + c.resource + "' is not among the bench's resources");
    if (b.findCarrier(c.resource))
        r.fail(res, "resource '" + c.resource + "' already holds a carrier");
    if (n["auto_trigger"])
        c.autoTrigger = r.number(n["auto_trigger"], "auto_trigger (seconds)");
    const YAML::Node pos = r.required(n, "positions", "carrier");
    if (pos.IsSequence()) {
        if (pos.size() > kPositions)
            r.fail(pos, "a carrier has 4 positions, not " + std::to_string(pos.size()));
        for (size_t i = 0; i < pos.size(); ++i)
            readPosition(r, pos[i], c.positions[i]);
    } else if (pos.IsMap()) {
        std::set<long long> seen;
        for (const auto &kv : pos) {
            const long long p = r.integer(kv.first, "position number", 1, kPositions);
            if (!seen.insert(p).second)
                r.fail(kv.first, "position " + std::to_string(p) + " given twice");
            readPosition(r, kv.second, c.positions[p - 1]);
        }
    } else {
        r.fail(pos, "positions must be a list of up to 4 positions or a mapping 1..4");
    }
    return c;
}

Multimeter readMultimeter(const Reader &r, const YAML::Node &n, Bench &b) {
    r.expectMap(n, "multimeter", {"kind", "resource", "position", "leads", "noise", "instant"});
    Multimeter m;
    m.kind = r.choice<MultimeterKind>(r.required(n, "kind", "multimeter"), "multimeter kind",
                                      {{"hpe1412", MultimeterKind::Hpe1412},
                                       {"hp3458a", MultimeterKind::Hp3458a},
                                       {"mervd", MultimeterKind::Mervd},
                                       {"sulvat", MultimeterKind::Sulvat},
                                       {"tarnel", MultimeterKind::Tarnel}});
    const YAML::Node res = r.required(n, "resource", "multimeter");
    m.resource = r.text(res, "multimeter resource");
    if (!b.findResource(m.resource))
        r.fail(res, "multimeter resource '" + m.resource + "' is not among the bench's resources");
    if (m.kind == MultimeterKind::Tarnel) {
        const YAML::Node pos = r.required(n, "position", "mezzanine multimeter");
        m.position = static_cast<int>(r.integer(pos, "position", 1, kPositions));
        Carrier *c = b.findCarrier(m.resource);
        if (!c || c->position(m.position).type != kMezzanineMultimeter)
            r.fail(pos, "no mezzanine multimeter (type 32) at position " +
                            std::to_string(m.position) + " of a carrier at '" + m.resource + "'");
    } else if (n["position"]) {
        r.fail(n["position"], "only a mezzanine multimeter (tarnel) has a position");
    }
    if (YAML::Node l = n["leads"]) {
        if (l.IsScalar()) {
            m.leads.mode = r.choice<Leads::Mode>(
                l, "leads",
                {{"switched_on", Leads::Mode::SwitchedOn}, {"open", Leads::Mode::Open}});
        } else {
            r.expectMap(l, "leads", {"carrier", "position", "channel", "resistance", "voltage"});
            if (l["resistance"] || l["voltage"]) {
                m.leads.mode = Leads::Mode::Fixed;
                if (l["resistance"])
                    m.leads.resistance = r.positive(l["resistance"], "leads resistance");
                if (l["voltage"])
                    m.leads.voltage = r.number(l["voltage"], "leads voltage");
            } else {
                m.leads.mode = Leads::Mode::Channel;
                const YAML::Node cr = r.required(l, "carrier", "leads");
                m.leads.carrier = r.text(cr, "leads carrier");
                m.leads.position = static_cast<int>(
                    r.integer(r.required(l, "position", "leads"), "leads position", 1, kPositions));
                m.leads.channel = static_cast<int>(
                    r.integer(r.required(l, "channel", "leads"), "leads channel", 1, kChannels));
                Carrier *c = b.findCarrier(m.leads.carrier);
                if (!c || !c->module(m.leads.position))
                    r.fail(l, "the leads go to no ORTAV module: nothing at position " +
                                  std::to_string(m.leads.position) + " of a carrier at '" +
                                  m.leads.carrier + "'");
            }
        }
    }
    if (n["noise"]) {
        m.noise = r.number(n["noise"], "noise");
        if (m.noise < 0)
            r.fail(n["noise"], "noise must not be negative");
    }
    if (n["instant"])
        m.instant = r.boolean(n["instant"], "instant");
    return m;
}

// One entry of a top-level list, read so that nothing but a BenchError leaves
// it: whatever else goes wrong is reported at the entry.
template <class Read> void readEntry(const Reader &r, const YAML::Node &n, Read read) {
    try {
        read();
    } catch (const BenchError &) {
        throw;
    } catch (const YAML::Exception &e) {
        if (!e.mark.is_null())
            throw BenchError(r.file(), e.mark.line + 1, e.mark.column + 1, e.msg);
        r.fail(n, e.msg);
    } catch (const std::exception &e) {
        r.fail(n, std::string("cannot read this entry: ") + e.what());
    }
}

// Where each document of a text begins: the place of its first node.
class DocumentPlaces : public YAML::EventHandler {
public:
    std::vector<YAML::Mark> first;

    void OnDocumentStart(const YAML::Mark &) override { open_ = true; }
    void OnDocumentEnd() override { open_ = false; }
    void OnNull(const YAML::Mark &m, YAML::anchor_t) override { node(m); }
    void OnAlias(const YAML::Mark &m, YAML::anchor_t) override { node(m); }
    void OnScalar(const YAML::Mark &m, const std::string &, YAML::anchor_t,
                  const std::string &) override {
        node(m);
    }
    void OnSequenceStart(const YAML::Mark &m, const std::string &, YAML::anchor_t,
                         YAML::EmitterStyle::value) override {
        node(m);
    }
    void OnSequenceEnd() override {}
    void OnMapStart(const YAML::Mark &m, const std::string &, YAML::anchor_t,
                    YAML::EmitterStyle::value) override {
        node(m);
    }
    void OnMapEnd() override {}

private:
    void node(const YAML::Mark &m) {
        if (open_)
            first.push_back(m);
        open_ = false;
    }
    bool open_ = false;
};

[[noreturn]] void yamlFailure(const YAML::ParserException &e, const std::string &file) {
    if (const auto *deep = dynamic_cast<const YAML::DeepRecursion *>(&e))
        throw BenchError(file, e.mark.line + 1, e.mark.column + 1,
                         "nested " + std::to_string(deep->depth()) + " levels deep; at most " +
                             std::to_string(deep->depth() - 1) + " levels are allowed");
    throw BenchError(file, e.mark.line + 1, e.mark.column + 1, "not valid YAML: " + e.msg);
}

// The one document of the text. The parser is asked for a second document
// only to refuse it, and for no more: on some malformed text (a ',' where a
// node should begin) it stands still and would hand out empty documents for
// ever.
YAML::Node document(std::string_view yaml, const std::string &file) {
    const std::string text(yaml);
    try {
        std::istringstream in(text);
        YAML::Parser parser(in);
        DocumentPlaces places;
        while (places.first.size() < 2 && parser.HandleNextDocument(places)) {
        }
        if (places.first.size() >= 2) {
            const YAML::Mark &m = places.first[1];
            if (m.pos == places.first[0].pos && m.pos >= 0 &&
                static_cast<size_t>(m.pos) < text.size())
                throw BenchError(file, m.line + 1, m.column + 1,
                                 std::string("not valid YAML: unexpected '") + text[m.pos] + "'");
            throw BenchError(file, m.line + 1, m.column + 1,
                             "text after the end of the bench description (a bench file holds "
                             "one YAML document)");
        }
        return YAML::Load(text);
    } catch (const YAML::ParserException &e) {
        yamlFailure(e, file);
    }
}

} // namespace

std::unique_ptr<Bench> parseBench(std::string_view yaml, const std::string &file) {
    Reader r(file);
    const YAML::Node root = document(yaml, file);
    if (!root || root.IsNull())
        throw BenchError(file, 0, 0, "the bench description is empty");
    auto b = std::make_unique<Bench>();
    b->origin = file;
    try {
        r.expectMap(root, "the bench", {"name", "resources", "carriers", "multimeters"});
        b->name = root["name"] ? r.text(root["name"], "name") : file;
        auto list = [&](const char *key) {
            YAML::Node l = root[key];
            if (l && !l.IsSequence() && !l.IsNull())
                r.fail(l, std::string(key) + " must be a list");
            return l;
        };
        if (YAML::Node l = list("resources"))
            for (const YAML::Node &n : l)
                readEntry(r, n, [&] {
                    Resource res = readResource(r, n);
                    if (b->findResource(res.name))
                        r.fail(n["name"], "resource '" + res.name + "' is listed twice");
                    b->addResource(std::move(res));
                });
        if (YAML::Node l = list("carriers"))
            for (const YAML::Node &n : l)
                readEntry(r, n, [&] { b->addCarrier(readCarrier(r, n, *b)); });
        if (YAML::Node l = list("multimeters"))
            for (const YAML::Node &n : l)
                readEntry(r, n, [&] { b->multimeters.push_back(readMultimeter(r, n, *b)); });
    } catch (const BenchError &) {
        throw;
    } catch (const YAML::Exception &e) {
        throw BenchError(file, e.mark.line + 1, e.mark.column + 1, e.msg);
    } catch (const std::exception &e) {
        throw BenchError(file, 0, 0, std::string("cannot read the bench: ") + e.what());
    }
    return b;
}

} // namespace ortav::sim
