#include "batch_options.h"

#include <charconv>
#include <cstring>
#include <string_view>

namespace ortav::batch {

namespace {

bool isOption(std::string_view arg, std::string_view name) {
    return arg == name || (arg.size() > name.size() && arg.substr(0, name.size()) == name &&
                           arg[name.size()] == '=');
}

// Numbers are read the same way whatever the locale.
bool readNumber(const std::string &text, double &value) {
    const char *end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
}

bool readInt(const std::string &text, int &value) {
    const char *end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
}

} // namespace

bool requested(int argc, char *argv[]) {
    for (int i = 1; i < argc; ++i)
        if (isOption(argv[i], "--batch"))
            return true;
    return false;
}

std::string parse(int argc, char *argv[], Options &o) {
    o = Options{};
    bool sawWrite = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        // The option's value: after '=' or the next argument.
        std::string name(arg.substr(0, arg.find('=')));
        auto value = [&](std::string &out) -> bool {
            const auto eq = arg.find('=');
            if (eq != std::string_view::npos) {
                out = std::string(arg.substr(eq + 1));
                return true;
            }
            if (i + 1 >= argc)
                return false;
            out = argv[++i];
            return true;
        };
        std::string v;
        if (isOption(arg, "--batch")) {
            if (!value(v))
                return "--batch needs a command: selftest, calibrate or verify";
            if (v == "selftest")
                o.command = Command::SelfTest;
            else if (v == "calibrate")
                o.command = Command::Calibrate;
            else if (v == "verify")
                o.command = Command::Verify;
            else
                return "--batch: unknown command '" + v + "' (selftest, calibrate or verify)";
        } else if (isOption(arg, "--resource")) {
            if (!value(v) || v.empty())
                return "--resource needs a VISA resource name";
            o.resource = v;
        } else if (isOption(arg, "--position")) {
            if (!value(v))
                return "--position needs a mezzanine position 1..4";
            if (!readInt(v, o.position) || o.position < 1 || o.position > 4)
                return "--position: '" + v + "' is not a mezzanine position 1..4";
        } else if (isOption(arg, "--multimeter")) {
            if (!value(v))
                return "--multimeter needs a kind: hpe1412, hp3458a, mervd, sulvat or tarnel";
            bool known = false;
            for (const char *k : kMultimeterKinds)
                known = known || v == k;
            if (!known)
                return "--multimeter: unknown kind '" + v +
                       "' (hpe1412, hp3458a, mervd, sulvat or tarnel)";
            o.multimeter = v;
        } else if (arg == "--write") {
            sawWrite = true;
        } else if (isOption(arg, "--protocol")) {
            if (!value(v) || v.empty())
                return "--protocol needs a file name";
            o.protocol = v;
        } else if (isOption(arg, "--chart")) {
            if (!value(v) || v.empty())
                return "--chart needs a file name";
            o.chart = v;
        } else if (isOption(arg, "--temperature")) {
            if (!value(v))
                return "--temperature needs degrees Celsius";
            // The verification sheet's range.
            if (!readNumber(v, o.temperature) || o.temperature < -40.0 || o.temperature > 80.0)
                return "--temperature: '" + v + "' is not a temperature from -40 to 80 °C";
            o.hasTemperature = true;
        } else if (isOption(arg, "--bench") || isOption(arg, "--visa")) {
            if (!value(v) || v.empty())
                return name + " needs a name";
        } else {
            return "unknown argument '" + std::string(arg) + "'";
        }
    }
    if (o.command == Command::None)
        return "--batch needs a command: selftest, calibrate or verify";
    if (sawWrite && o.command != Command::Calibrate)
        return "--write: only with --batch calibrate";
    o.write = sawWrite;
    if (o.command != Command::Verify) {
        if (!o.protocol.empty())
            return "--protocol: only with --batch verify";
        if (!o.chart.empty())
            return "--chart: only with --batch verify";
        if (o.hasTemperature)
            return "--temperature: only with --batch verify";
    }
    return {};
}

const char *usage() {
    return "usage: p_ortav --batch selftest|calibrate|verify [options]\n"
           "  --resource RSRC      the carrier's VISA resource (default: the first found)\n"
           "  --position N         the module's mezzanine position 1..4 (default: the first)\n"
           "  --multimeter KIND    hpe1412, hp3458a, mervd, sulvat or tarnel\n"
           "                       (default: the interactive program's search order)\n"
           "  --write              calibrate: store the coefficients in the module\n"
           "  --protocol FILE      verify: the protocol file (default ortav.log)\n"
           "  --temperature C      verify: ambient temperature, degrees Celsius (default 20)\n"
           "  --chart FILE.png     verify: save the verification charts as FILE-R.png\n"
           "                       (resistance) and FILE-I.png (current)\n"
           "  --bench FILE         the simulated bench (as the interactive program)\n"
           "  --visa NAME          the VISA library (as the interactive program)\n"
           "exit status: 0 all passed, 1 a point out of norm or a self-test failure,\n"
           "             2 a usage error, 3 an instrument error\n";
}

} // namespace ortav::batch
