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

// The library the start-up would check, found the same way.
std::string mathLine() {
    const std::string file = ortav::loader::systemName("ortav_math.dll");
    char found[KELMOR_FOUND_SIZE] = "";
    PathSearchHandle search = FirstPathFname(".", file.c_str(), found);
    if (search == nullptr)
        return "ortav_math: " + file + " not found";
    ClosePathFName(search);
    char version[KELMOR_VERSION_SIZE] = "";
    GetFInfo(found, version, nullptr, nullptr, nullptr);
    uint32_t stored = 0, computed = 0, whole = 0;
    const int check = CheckFileInternalCRC32(found, &stored, &computed, &whole);
    std::string line = "ortav_math " + std::string(version) + ", " + normal(found);
    if (check == 0)
        return line + ", CRC32=" + hex(whole) + ": intact";
    if (check == 1)
        return line + ", CRC32=" + hex(whole) + ": MODIFIED (embedded checksum " + hex(stored) +
               ", computed " + hex(computed) + ")";
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
