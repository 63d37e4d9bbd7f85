#include "version_report.h"

#include "front_panel.h"
#include "kelmor_crc32.h"
#include "library.h"
#include "visa_library.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

std::string hex(uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(v));
    return text;
}

std::string normal(const std::string &path) {
    return std::filesystem::path(path).lexically_normal().string();
}

// The library the start-up checks: the file the program runs.
std::string mathLine() {
    const MathIntegrity m = checkMathIntegrity();
    if (m.file.empty())
        return "ortav_math: " + ortav::loader::systemName("ortav_math.dll") + " not found";
    char version[KELMOR_VERSION_SIZE] = "";
    GetFInfo(m.file.c_str(), version, nullptr, nullptr, nullptr);
    std::string line = "ortav_math " + std::string(version) + ", " + normal(m.file);
    if (m.result == 0)
        return line + ", CRC32=" + hex(m.whole) + ": intact";
    if (m.result == 1)
        return line + ", CRC32=" + hex(m.whole) + ": MODIFIED (embedded checksum " + hex(m.stored) +
               ", computed " + hex(m.computed) + ")";
    return line + ": cannot be checked (unreadable, or no embedded checksum)";
}

std::string visaLine(const std::string &visa, const std::string &bench) {
    if (!bench.empty())
        setenv("ORTAV_BENCH", bench.c_str(), 1);
    const char *argv[] = {"p_ortav", "--visa", visa.c_str(), nullptr};
    if (!ortav::visa::selectFromArgs(visa.empty() ? 1 : 3, argv))
        return "VISA: not loaded: " + ortav::visa::error();
    if (!ortav::visa::isSimulated())
        return "VISA: real, " + normal(ortav::visa::libraryPath());
    std::string line = "VISA: simulated bench, " + normal(ortav::visa::libraryPath());
    if (auto bad = ortav::visa::benchError())
        return line + ", bench file malformed: " + *bad;
    const std::string name = ortav::visa::benchName();
    return name.empty() ? line : line + " (" + name + ")";
}

} // namespace

std::string versionReport(const std::string &visa, const std::string &bench) {
    return "p_ortav " + std::string(kProgramVersion) + "\n" + mathLine() + "\n" +
           visaLine(visa, bench) + "\n";
}
