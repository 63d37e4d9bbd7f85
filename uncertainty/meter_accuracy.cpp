#include "meter_accuracy.h"

#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <set>
#include <sstream>

namespace ortav::uncertainty {

namespace {

constexpr const char *kKinds[] = {"hpe1412", "hp3458a", "mervd", "sulvat", "tarnel"};
constexpr const char *kPeriods[] = {"24h", "90d", "1y"};

struct SpecError {
    int line, column;
    std::string problem;
};

[[noreturn]] void fail(const YAML::Node &at, const std::string &problem) {
    const YAML::Mark m = at.Mark();
    throw SpecError{m.line + 1, m.column + 1, problem};
}

void expectMap(const YAML::Node &n, const std::string &what, std::set<std::string> keys) {
    if (!n.IsMap())
        fail(n, what + " must be a mapping of keys and values");
    for (const auto &kv : n) {
        const std::string key = kv.first.Scalar();
        if (!keys.count(key))
            fail(kv.first, "unknown key '" + key + "' in " + what);
    }
}

std::string text(const YAML::Node &n, const std::string &what) {
    if (!n.IsScalar())
        fail(n, what + " must be a text");
    return n.Scalar();
}

// With a decimal point whatever the process's locale.
double number(const YAML::Node &n, const std::string &what) {
    if (!n.IsScalar())
        fail(n, what + " must be a number");
    const std::string &s = n.Scalar();
    const char *first = s.data();
    const char *last = s.data() + s.size();
    if (first != last && *first == '+')
        ++first;
    double v = 0.0;
    const auto [end, ec] = std::from_chars(first, last, v);
    if (s.empty() || ec != std::errc() || end != last || !std::isfinite(v))
        fail(n, what + " must be a number, not '" + s + "'");
    return v;
}

double nonNegative(const YAML::Node &n, const std::string &what) {
    const double v = number(n, what);
    if (v < 0)
        fail(n, what + " must not be negative");
    return v;
}

Accuracy pair(const YAML::Node &n, const std::string &what) {
    if (!n.IsSequence() || n.size() != 2)
        fail(n, what + " must be [ppm of reading, ppm of range]");
    return {nonNegative(n[0], what + " (ppm of reading)"),
            nonNegative(n[1], what + " (ppm of range)")};
}

std::vector<RangeSpec> ranges(const YAML::Node &n, const std::string &what) {
    if (!n.IsSequence())
        fail(n, what + " must be a list of ranges");
    std::vector<RangeSpec> out;
    for (const YAML::Node &r : n) {
        expectMap(r, what + " range", {"range", "resolution", "24h", "90d", "1y", "tempco"});
        if (!r["range"])
            fail(r, what + " range lacks the key 'range'");
        RangeSpec spec;
        spec.range = number(r["range"], "range");
        if (!(spec.range > 0))
            fail(r["range"], "range must be greater than 0");
        if (!out.empty() && spec.range <= out.back().range)
            fail(r["range"], what + " ranges must be listed from the smallest up");
        if (r["resolution"])
            spec.resolution = nonNegative(r["resolution"], "resolution");
        for (int p = 0; p < 3; ++p)
            if (r[kPeriods[p]])
                spec.accuracy[p] = pair(r[kPeriods[p]], kPeriods[p]);
        if (r["tempco"])
            spec.tempco = pair(r["tempco"], "tempco");
        out.push_back(spec);
    }
    return out;
}

MeterSpec entry(const std::string &kind, const YAML::Node &n) {
    const std::string what = "entry '" + kind + "'";
    MeterSpec m;
    m.kind = kind;
    m.name = kind;
    if (n.IsNull())
        return m; // named only: nothing stated
    expectMap(n, what,
              {"name", "source", "reference_temperature", "reference_band", "dc_voltage",
               "four_wire_resistance", "dc_current", "noise_bound"});
    if (n["name"])
        m.name = text(n["name"], "name");
    if (n["source"])
        m.source = text(n["source"], "source");
    if (n["reference_temperature"])
        m.referenceTemp = number(n["reference_temperature"], "reference_temperature");
    if (const YAML::Node b = n["reference_band"]) {
        expectMap(b, "reference_band", {"24h", "90d", "1y"});
        for (int p = 0; p < 3; ++p)
            if (b[kPeriods[p]])
                m.band[p] = nonNegative(b[kPeriods[p]], std::string("band ") + kPeriods[p]);
    }
    const std::pair<const char *, Function> functions[] = {
        {"dc_voltage", Function::DcVoltage},
        {"four_wire_resistance", Function::FourWireResistance},
        {"dc_current", Function::DcCurrent}};
    for (const auto &[key, f] : functions)
        if (n[key])
            m.functions[f] = ranges(n[key], key);
    if (n["noise_bound"])
        m.noiseBound = nonNegative(n["noise_bound"], "noise_bound");
    return m;
}

std::map<std::string, MeterSpec> section(const YAML::Node &n, const std::string &what) {
    std::map<std::string, MeterSpec> out;
    if (!n)
        return out;
    if (!n.IsMap())
        fail(n, what + " must be a mapping of multimeter kinds");
    for (const auto &kv : n) {
        const std::string kind = kv.first.Scalar();
        if (std::find(std::begin(kKinds), std::end(kKinds), kind) == std::end(kKinds))
            fail(kv.first, "unknown multimeter kind '" + kind +
                               "' (hpe1412, hp3458a, mervd, sulvat, tarnel)");
        if (out.count(kind))
            fail(kv.first, "kind '" + kind + "' given twice");
        out[kind] = entry(kind, kv.second);
    }
    return out;
}

std::optional<ShuntSpec> shuntEntry(const YAML::Node &n, const std::string &what) {
    if (!n)
        return std::nullopt;
    ShuntSpec s;
    if (n.IsNull())
        return s; // named only: nothing stated
    expectMap(n, what, {"source", "tolerance", "distribution"});
    if (n["source"])
        s.source = text(n["source"], "source");
    if (n["distribution"]) {
        const std::string d = text(n["distribution"], "distribution");
        if (d == "rectangular")
            s.distribution = Distribution::Rectangular;
        else if (d == "normal")
            s.distribution = Distribution::Normal;
        else
            fail(n["distribution"], "distribution must be rectangular or normal, not '" + d + "'");
    }
    if (n["tolerance"]) {
        // The figure means nothing until it is said what kind of bound it is.
        if (!n["distribution"])
            fail(n["tolerance"],
                 what + ": a tolerance needs its distribution (rectangular or normal)");
        s.tolerancePpm = nonNegative(n["tolerance"], "tolerance");
    }
    return s;
}

} // namespace

double ShuntSpec::relativeStandard() const {
    const double t = 1e-6 * tolerancePpm.value_or(0.0);
    return distribution == Distribution::Normal ? t / 2.0 : t / std::sqrt(3.0);
}

const char *periodName(Period p) {
    return kPeriods[static_cast<int>(p)];
}

std::optional<Period> periodFromName(const std::string &name) {
    for (int p = 0; p < 3; ++p)
        if (name == kPeriods[p])
            return static_cast<Period>(p);
    return std::nullopt;
}

bool MeterSpec::stated(Function f) const {
    return noiseBound > 0 || functions.count(f) != 0;
}

const RangeSpec *MeterSpec::rangeFor(Function f, double requested) const {
    const auto it = functions.find(f);
    if (it == functions.end())
        return nullptr;
    for (const RangeSpec &r : it->second)
        if (r.range >= requested * (1 - 1e-9))
            return &r;
    return nullptr;
}

const MeterSpec *MeterSpecs::find(const std::string &kind, bool simulatedBench) const {
    const auto &from = simulatedBench ? simulated : meters;
    const auto it = from.find(kind);
    return it == from.end() ? nullptr : &it->second;
}

const ShuntSpec *MeterSpecs::findShunt(bool simulatedBench) const {
    const std::optional<ShuntSpec> &s = simulatedBench ? simulatedShunt : shunt;
    return s ? &*s : nullptr;
}

bool parseMeterSpecs(const std::string &text, const std::string &name, MeterSpecs &out,
                     std::string &error) {
    try {
        const YAML::Node root = YAML::Load(text);
        if (root.IsNull()) {
            out = MeterSpecs{};
            return true;
        }
        expectMap(root, "the file", {"meters", "simulated", "shunt"});
        MeterSpecs specs;
        specs.meters = section(root["meters"], "meters");
        specs.simulated = section(root["simulated"], "simulated");
        if (const YAML::Node sh = root["shunt"]) {
            expectMap(sh, "shunt", {"module", "simulated"});
            specs.shunt = shuntEntry(sh["module"], "shunt 'module'");
            specs.simulatedShunt = shuntEntry(sh["simulated"], "shunt 'simulated'");
        }
        out = std::move(specs);
        return true;
    } catch (const SpecError &e) {
        error =
            name + ":" + std::to_string(e.line) + ":" + std::to_string(e.column) + ": " + e.problem;
    } catch (const YAML::Exception &e) {
        error = name + ":" + std::to_string(e.mark.line + 1) + ":" +
                std::to_string(e.mark.column + 1) + ": " + e.msg;
    }
    return false;
}

bool loadMeterSpecs(const std::string &path, MeterSpecs &out, std::string &error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot be read";
        return false;
    }
    std::ostringstream s;
    s << in.rdbuf();
    return parseMeterSpecs(s.str(), path, out, error);
}

} // namespace ortav::uncertainty
