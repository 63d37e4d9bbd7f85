#include "results_csv.h"

#include "disk_sync.h"
#include "protocol_text.h"
#include "result_files.h"
#include "time_text.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ortav::calib {

std::string besideProtocol(const std::string &protocolPath, const char *extension) {
    std::string stem = protocolPath;
    if (stem.size() > 4 && strcasecmp(stem.c_str() + stem.size() - 4, ".log") == 0)
        stem.resize(stem.size() - 4);
    return stem + extension;
}

std::string isoTime(std::time_t t) {
    return ortav::text::localText(t, "%Y-%m-%dT%H:%M:%S");
}

namespace {

// The shortest text that reads back as the same double (0.7, not
// 0.69999999999999996), with a point whatever the locale.
std::string shortest(double v) {
    char text[32];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, v);
    return ec == std::errc() ? std::string(text, end) : std::string("nan");
}

// decision_rule,expanded_uncertainty,tur,tur_low,guarded_verdict
std::string uncertaintyColumns(const JudgedPoint &p) {
    using namespace ortav::uncertainty;
    std::string s = ruleName(p.rule);
    if (p.uncertainty.known) {
        s += "," + shortest(p.uncertainty.expanded);
        s += std::isinf(p.tur) ? std::string(",inf") : "," + shortest(p.tur);
        s += p.tur < kMinimumTur ? ",yes" : ",no";
    } else {
        s += ",unknown,unknown,unknown";
    }
    return s + "," + verdictName(p.guarded);
}

std::string csvField(const std::string &text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

// A file that does not exist yet, is empty, or begins with the current header.
bool takesCurrentRows(const std::string &path) {
    std::FILE *f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return true;
    const std::string header = kCsvHeader;
    std::string first(header.size(), '\0');
    const std::size_t got = std::fread(first.data(), 1, first.size(), f);
    std::fclose(f);
    return got == 0 || (got == first.size() && first == header);
}

} // namespace

std::string csvRow(const JudgedPoint &p, const std::string &bench) {
    char text[256];
    std::snprintf(text, sizeof text, "%s,%d,%s,%s,%s,%s,%s,%s,%s,", isoTime(p.time).c_str(), p.chan,
                  p.mode == 1 ? "resistance" : "current", p.mode == 1 ? "Ohm" : "mA",
                  shortest(p.set).c_str(), shortest(p.measured).c_str(),
                  shortest(p.deviation).c_str(), shortest(p.permitted).c_str(),
                  p.failed ? "fail" : "pass");
    return text + uncertaintyColumns(p) + "," + csvField(bench) + "\n";
}

namespace {
std::string chooseCsv(const std::string &protocolPath) {
    const std::string plain = besideProtocol(protocolPath, ".csv");
    if (takesCurrentRows(plain))
        return plain;
    const std::string stem = plain.substr(0, plain.size() - 4);
    for (int n = 2;; ++n) {
        const std::string next = stem + "-" + std::to_string(n) + ".csv";
        if (takesCurrentRows(next))
            return next;
    }
}
} // namespace

std::string csvBesideProtocol(const std::string &protocolPath) {
    // Asked at every judged point: the file chosen last is still the one while
    // it is the same file and has only grown, without reading its header again.
    struct Chosen {
        std::string protocol, csv;
        dev_t dev = 0;
        ino_t ino = 0;
        off_t size = 0;
    };
    static Chosen chosen;
    struct stat st {};
    if (chosen.protocol == protocolPath && ::stat(chosen.csv.c_str(), &st) == 0 &&
        st.st_dev == chosen.dev && st.st_ino == chosen.ino && st.st_size >= chosen.size) {
        chosen.size = st.st_size;
        return chosen.csv;
    }
    std::string csv = chooseCsv(protocolPath);
    if (::stat(csv.c_str(), &st) == 0 && st.st_size > 0)
        chosen = {protocolPath, csv, st.st_dev, st.st_ino, st.st_size};
    else
        chosen = {};
    return csv;
}

namespace {
// The file a run adds its rows to stays open from row to row while its name
// still leads to it (opening, examining and closing it cost more than the
// row); renamed, replaced or removed, it is opened anew by its name.
struct OpenCsv {
    std::string path;
    int fd = -1;
    dev_t dev = 0;
    ino_t ino = 0;
    void forget() {
        if (fd >= 0)
            ::close(fd);
        *this = {};
    }
};
} // namespace

bool appendCsvRow(const std::string &path, const JudgedPoint &p, const std::string &bench,
                  int *error) {
    static OpenCsv open;
    struct stat st {};
    const bool same = open.fd >= 0 && open.path == path && ::stat(path.c_str(), &st) == 0 &&
                      st.st_dev == open.dev && st.st_ino == open.ino;
    if (!same) {
        open.forget();
        const int fd = openForAppend(path.c_str(), error, &st);
        if (fd < 0)
            return false;
        open = {path, fd, st.st_dev, st.st_ino};
    }
    const bool fresh = st.st_size == 0;
    bool ok = appendWhole(
        open.fd, (fresh ? std::string(kCsvHeader) : std::string()) + csvRow(p, bench), error, &st);
    // Like the protocol: a judged point reaches the disk during the next settle wait.
    if (ok && !syncInBackground(open.fd, &st)) {
        ok = false;
        if (error != nullptr)
            *error = errno;
    }
    if (!ok)
        open.forget(); // the next row tries the name afresh
    return ok;
}

} // namespace ortav::calib
