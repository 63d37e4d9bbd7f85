#include "batch_options.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

#include <charconv>
#include <cmath>
#include <string_view>
#include <vector>

namespace ortav::batch {

namespace {

// The modes an option belongs to.
enum Mode : unsigned {
    kFrontPanel = 1,
    kSelfTest = 2,
    kCalibrate = 4,
    kVerify = 8,
    kBatch = kSelfTest | kCalibrate | kVerify,
    kBoth = kFrontPanel | kBatch,
    kHistory = 16,
    kDue = 32,
    kReports = kHistory | kDue,
};

struct Row {
    const char *names; // long name first; a one-letter name after a comma ("help,h")
    const char *value; // the value's name in --help; nullptr: a switch
    unsigned modes;    // where it may be given
    const char *help;  // for --help; '\n' starts a continuation line
    const char *needs; // "--NAME needs ..." when the value is missing or empty
    // Reads the value (empty for a switch) into the options: empty, or the message.
    std::string (*read)(const std::string &value, Options &o);
};

// Numbers are read the same way whatever the locale. NaN and the infinities
// are no numbers here: every range check is false for NaN, and a norm or a
// coefficient computed from one is no norm at all.
bool readNumber(const std::string &text, double &value) {
    const char *end = text.data() + text.size();
    double v = 0.0;
    auto [ptr, ec] = std::from_chars(text.data(), end, v);
    if (ec != std::errc() || ptr != end || text.empty() || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

bool readInt(const std::string &text, int &value) {
    const char *end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
}

// The table of options, in the order of --help within each group.
const Row kRows[] = {
    {"help,h", nullptr, kBoth, "this text", nullptr,
     [](const std::string &, Options &o) {
         o.help = true;
         return std::string();
     }},
    {"version", nullptr, kBoth,
     "the versions of p_ortav and ortav_math, the integrity\n"
     "of ortav_math, the VISA library (simulated or real)",
     nullptr,
     [](const std::string &, Options &o) {
         o.version = true;
         return std::string();
     }},
    {"bench", "FILE", kBoth, "the simulated bench (default: the built-in one)", "needs a name",
     [](const std::string &v, Options &o) {
         o.bench = v;
         return std::string();
     }},
    {"visa", "NAME", kBoth,
     "the VISA library, by name or path; auto: the usual\n"
     "vendor libraries (default: ORTAV_VISA_LIBRARY, else\n"
     "the simulated bench)",
     "needs a name",
     [](const std::string &v, Options &o) {
         o.visa = v;
         return std::string();
     }},
    {"batch", "COMMAND", kBatch, "selftest, calibrate or verify, without a window",
     "needs a command: selftest, calibrate or verify",
     [](const std::string &v, Options &o) {
         if (v == "selftest")
             o.command = Command::SelfTest;
         else if (v == "calibrate")
             o.command = Command::Calibrate;
         else if (v == "verify")
             o.command = Command::Verify;
         else
             return "--batch: unknown command '" + v + "' (selftest, calibrate or verify)";
         return std::string();
     }},
    {"history", nullptr, kHistory,
     "print the runs in the results database (of one module\n"
     "with --asset, or --resource and --position), no window",
     nullptr,
     [](const std::string &, Options &o) {
         if (o.command != Command::None)
             return std::string("--history: not with --batch");
         o.command = Command::History;
         return std::string();
     }},
    {"due", nullptr, kDue, "list the modules due for calibration within 30 days", nullptr,
     [](const std::string &, Options &o) {
         if (o.command != Command::None)
             return std::string(o.command == Command::History ? "--due: not with --history"
                                                              : "--due: not with --batch");
         o.command = Command::Due;
         return std::string();
     }},
    {"json", nullptr, kReports, "print as JSON", nullptr,
     [](const std::string &, Options &o) {
         o.json = true;
         return std::string();
     }},
    {"results-db", "PATH|URL", kBoth | kReports,
     "the results database: an SQLite file, or a server\n"
     "postgresql://user@host/db; none: record nothing\n"
     "(default: results.sqlite in the user's data folder)",
     "needs a file, a postgresql:// address or none",
     [](const std::string &v, Options &o) {
         o.resultsDb = v;
         return std::string();
     }},
    {"station", "NAME", kBoth | kReports,
     "this station's name in the results (default: the host name)", "needs a name",
     [](const std::string &v, Options &o) {
         o.station = v;
         return std::string();
     }},
    {"operator", "NAME", kBoth, "the operator's name in the results (default: the login name)",
     "needs a name",
     [](const std::string &v, Options &o) {
         o.operatorName = v;
         return std::string();
     }},
    {"asset", "A", kBatch | kHistory,
     "the module's asset number (remembered for its carrier\nand position)",
     "needs an asset number",
     [](const std::string &v, Options &o) {
         o.asset = v;
         o.hasAsset = true;
         return std::string();
     }},
    {"calibration-interval", "MONTHS", kBoth | kReports,
     "the calibration interval (default 12 months)", "needs a number of months",
     [](const std::string &v, Options &o) {
         if (!readInt(v, o.calibrationMonths) || o.calibrationMonths < 1 ||
             o.calibrationMonths > 120)
             return "--calibration-interval: '" + v + "' is not a number of months 1..120";
         return std::string();
     }},
    {"resource", "RSRC", kBatch | kHistory,
     "the carrier's VISA resource (default: the first found)", "needs a VISA resource name",
     [](const std::string &v, Options &o) {
         o.resource = v;
         return std::string();
     }},
    {"position", "N", kBatch | kHistory,
     "the module's mezzanine position 1..4\n(default: the first)",
     "needs a mezzanine position 1..4",
     [](const std::string &v, Options &o) {
         if (!readInt(v, o.position) || o.position < 1 || o.position > 4)
             return "--position: '" + v + "' is not a mezzanine position 1..4";
         return std::string();
     }},
    {"multimeter", "KIND", kBatch,
     "hpe1412, hp3458a, mervd, sulvat or tarnel\n"
     "(default: the interactive program's search order)",
     "needs a kind: hpe1412, hp3458a, mervd, sulvat or tarnel",
     [](const std::string &v, Options &o) {
         for (const char *k : kMultimeterKinds)
             if (v == k) {
                 o.multimeter = v;
                 return std::string();
             }
         return "--multimeter: unknown kind '" + v +
                "' (hpe1412, hp3458a, mervd, sulvat or tarnel)";
     }},
    {"allow-modified-math", nullptr, kBatch,
     "go on when ortav_math fails its integrity check\n(default: the run stops, status 3)", nullptr,
     [](const std::string &, Options &o) {
         o.allowModifiedMath = true;
         return std::string();
     }},
    {"write", nullptr, kCalibrate, "store the coefficients in the module", nullptr,
     [](const std::string &, Options &o) {
         o.write = true;
         return std::string();
     }},
    {"protocol", "FILE", kVerify, "the protocol file (default ortav.log)", "needs a file name",
     [](const std::string &v, Options &o) {
         o.protocol = v;
         return std::string();
     }},
    {"temperature", "C", kVerify, "ambient temperature, degrees Celsius\n(default 20)",
     "needs degrees Celsius",
     [](const std::string &v, Options &o) {
         // The verification sheet's range.
         if (!readNumber(v, o.temperature) || o.temperature < -40.0 || o.temperature > 80.0)
             return "--temperature: '" + v + "' is not a temperature from -40 to 80 °C";
         o.hasTemperature = true;
         return std::string();
     }},
    {"hardware-version", "1|2", kVerify,
     "the hardware version whose points and norms are used,\nwhatever the module reports",
     "needs a hardware version, 1 or 2",
     [](const std::string &v, Options &o) {
         if (!readInt(v, o.hardwareVersion) || o.hardwareVersion < 1 || o.hardwareVersion > 2)
             return "--hardware-version: '" + v + "' is not a hardware version, 1 or 2";
         return std::string();
     }},
    {"chart", "FILE.png", kVerify,
     "save the verification charts as FILE-R.png\n(resistance) and FILE-I.png (current)",
     "needs a file name",
     [](const std::string &v, Options &o) {
         o.chart = v;
         return std::string();
     }},
    {"decision-rule", "RULE", kVerify,
     "simple (the protocol's verdicts, default) or guarded\n"
     "(pass only when |deviation| + U is within the norm;\n"
     "\"conditional\" counts as out of norm)",
     "needs a rule: simple or guarded",
     [](const std::string &v, Options &o) {
         if (v != "simple" && v != "guarded")
             return "--decision-rule: unknown rule '" + v + "' (simple or guarded)";
         o.decisionRule = v;
         return std::string();
     }},
    {"meter-period", "P", kVerify,
     "the reference meter's accuracy 24h, 90d or 1y\n(default) after its calibration",
     "needs a period: 24h, 90d or 1y",
     [](const std::string &v, Options &o) {
         if (v != "24h" && v != "90d" && v != "1y")
             return "--meter-period: unknown period '" + v + "' (24h, 90d or 1y)";
         o.meterPeriod = v;
         return std::string();
     }},
    {"certificate", "FILE.pdf", kVerify, "write the run's certificate", "needs a file name",
     [](const std::string &v, Options &o) {
         o.certificate = v;
         return std::string();
     }},
};

std::string_view longName(const Row &r) {
    std::string_view n = r.names;
    return n.substr(0, n.find(','));
}

std::string_view shortName(const Row &r) {
    std::string_view n = r.names;
    const auto comma = n.find(',');
    return comma == std::string_view::npos ? std::string_view() : n.substr(comma + 1);
}

// The row an argument names ("--name", "--name=value", "-n"), or nullptr.
const Row *rowOf(std::string_view arg) {
    for (const Row &r : kRows) {
        if (arg.starts_with("--")) {
            const std::string_view name = arg.substr(2, arg.find('=') - 2);
            if (name == longName(r))
                return &r;
        } else if (arg.size() > 1 && arg[0] == '-' && arg.substr(1) == shortName(r)) {
            return &r;
        }
    }
    return nullptr;
}

std::string commandList(unsigned modes) {
    std::vector<const char *> names;
    if (modes & kSelfTest)
        names.push_back("selftest");
    if (modes & kCalibrate)
        names.push_back("calibrate");
    if (modes & kVerify)
        names.push_back("verify");
    if (modes & kHistory)
        names.push_back("--history");
    std::string s;
    for (std::size_t i = 0; i < names.size(); ++i)
        s += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + std::string(names[i]);
    return s;
}

unsigned modeOf(Command c) {
    switch (c) {
    case Command::SelfTest:
        return kSelfTest;
    case Command::Calibrate:
        return kCalibrate;
    case Command::Verify:
        return kVerify;
    case Command::History:
        return kHistory;
    case Command::Due:
        return kDue;
    default:
        return kFrontPanel;
    }
}

// What the parser itself cannot word so well: an argument it does not know and
// a value missing at the end, each named as it was given.
std::string checkArguments(const std::vector<std::string> &args) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (a == "--") {
            if (i + 1 < args.size())
                return "unknown argument '" + args[i + 1] + "'";
            break;
        }
        const Row *r = rowOf(a);
        if (r == nullptr)
            return "unknown argument '" + a + "'";
        if (r->value != nullptr && a.find('=') == std::string::npos) {
            if (i + 1 == args.size())
                return "--" + std::string(longName(*r)) + " " + r->needs;
            ++i; // its value, whatever it looks like
        }
    }
    return {};
}

} // namespace

bool requested(int argc, char *argv[]) {
    for (int i = 1; i < argc; ++i) {
        const Row *r = rowOf(argv[i]);
        if (r != nullptr && longName(*r) == "batch")
            return true;
        if (r != nullptr && r->value != nullptr &&
            std::string_view(argv[i]).find('=') == std::string_view::npos)
            ++i;
    }
    return false;
}

std::string parse(int argc, char *argv[], Options &o) {
    o = Options{};
    std::vector<std::string> args(argv + 1, argv + argc);
    if (std::string wrong = checkArguments(args); !wrong.empty())
        return wrong;

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    for (const Row &r : kRows) {
        const QStringList names = QString::fromUtf8(r.names).split(',');
        parser.addOption(r.value != nullptr ? QCommandLineOption(names, QString::fromUtf8(r.help),
                                                                 QString::fromUtf8(r.value))
                                            : QCommandLineOption(names, QString::fromUtf8(r.help)));
    }
    QStringList list;
    list.reserve(argc);
    for (int i = 0; i < argc; ++i)
        list << QString::fromLocal8Bit(argv[i]);
    if (!parser.parse(list))
        return parser.errorText().toStdString();

    // Each option read once, its last value counting, in the table's order.
    std::vector<const Row *> used;
    for (const Row &r : kRows) {
        const QString name = QString::fromUtf8(longName(r).data(), longName(r).size());
        if (!parser.isSet(name))
            continue;
        const std::string value = r.value != nullptr ? parser.value(name).toStdString() : "";
        if (r.needs != nullptr && value.empty())
            return "--" + std::string(longName(r)) + " " + r.needs;
        if (std::string wrong = r.read(value, o); !wrong.empty())
            return wrong;
        used.push_back(&r);
    }
    if (o.help || o.version)
        return {};
    // Every option in the mode it belongs to.
    const unsigned mode = modeOf(o.command);
    for (const Row *r : used) {
        if (r->modes & mode)
            continue;
        const std::string name = "--" + std::string(longName(*r));
        if ((r->modes & ~kReports) == 0)
            return name + ": only with " +
                   (r->modes == kHistory ? "--history" : "--history or --due");
        if (o.command == Command::None && (r->modes & kBatch) == kBatch)
            return name + ": only with --batch";
        return name + ": only with --batch " + commandList(r->modes);
    }
    return {};
}

std::string helpText() {
    std::string s = "usage: p_ortav [--bench FILE] [--visa NAME]\n"
                    "       p_ortav --batch selftest|calibrate|verify [options]\n"
                    "       p_ortav --history [--asset A | --resource R --position N] [--json]\n"
                    "       p_ortav --due [--json]\n"
                    "       p_ortav --help | --version\n"
                    "\n"
                    "Without --batch, the front panel (it needs a display); with --batch, the\n"
                    "same procedures on an automated stand, without a window.\n";
    const struct {
        const char *title;
        bool (*in)(unsigned modes);
    } groups[] = {
        {"Both modes", [](unsigned m) { return (m & kFrontPanel) && (m & kBatch); }},
        {"The front panel only", [](unsigned m) { return m == kFrontPanel; }},
        {"Headless runs (--batch COMMAND)",
         [](unsigned m) { return (m & kFrontPanel) == 0 && (m & kBatch) != 0; }},
        {"The results database, without a window",
         [](unsigned m) { return (m & ~unsigned(kReports)) == 0; }},
    };
    constexpr std::size_t kColumn = 24;
    for (const auto &g : groups) {
        std::string lines;
        for (const Row &r : kRows) {
            if (!g.in(r.modes))
                continue;
            std::string left = "  ";
            if (!shortName(r).empty())
                left += "-" + std::string(shortName(r)) + ", ";
            left += "--" + std::string(longName(r));
            if (r.value != nullptr)
                left += " " + std::string(r.value);
            left += left.size() + 1 < kColumn ? std::string(kColumn - left.size(), ' ')
                                              : "\n" + std::string(kColumn, ' ');
            // An option of some commands says so.
            std::string help = r.help;
            if ((r.modes & kFrontPanel) == 0 && (r.modes & kBatch) != 0 &&
                (r.modes & kBatch) != kBatch)
                help = commandList(r.modes) + ": " + help;
            for (std::size_t nl = help.find('\n'); nl != std::string::npos;
                 nl = help.find('\n', nl + 1))
                help.insert(nl + 1, kColumn, ' ');
            lines += left + help + "\n";
        }
        if (!lines.empty())
            s += "\n" + std::string(g.title) + ":\n" + lines;
    }
    s += "\n"
         "Environment:\n"
         "  ORTAV_VISA_LIBRARY    a real VISA library instead of the simulated bench\n"
         "  ORTAV_BENCH           the simulated bench file, as --bench\n"
         "  ORTAV_VIRTUAL_CLOCK=1 every wait passes at once (simulated bench only)\n"
         "  ORTAV_METERS          the multimeters' accuracy file (default:\n"
         "                        share/p_ortav/meters.yaml beside bin/)\n"
         "\n"
         "Exit status: 0 all passed (or the front panel closed normally), 1 a point out\n"
         "of norm or a self-test failure, 2 a usage error or no display, 3 an\n"
         "instrument error, 4 results could not be recorded; 130, 143, 129 a run\n"
         "stopped by SIGINT, SIGTERM, SIGHUP.\n";
    return s;
}

const char *usage() {
    return "usage: p_ortav [--bench FILE] [--visa NAME]\n"
           "       p_ortav --batch selftest|calibrate|verify [options]\n"
           "Try 'p_ortav --help' for all options.\n";
}

} // namespace ortav::batch
