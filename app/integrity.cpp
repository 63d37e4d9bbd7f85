// The integrity line of ortav_math on the About panel. The file checked is the
// one the process runs: the program links the library through its run path (or
// LD_LIBRARY_PATH), so a copy found by searching folders may be another file.
#include "front_panel.h"

#include "kelmor_crc32.h"
#include "library.h"
#include "ortav_math.h"
#include "p_ortav.h"
#include "userint.h"

#include <dlfcn.h>

#include <cstdio>
#include <optional>
#include <string>

namespace {

std::optional<MathIntegrity> g_last;

// The file the dynamic loader mapped ortav_math from, or empty.
std::string loadedMathFile(const std::string &file) {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&ortavMath_RtoN), &info) == 0 || info.dli_fname == nullptr)
        return {};
    const std::string path = info.dli_fname;
    const size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    // Linked into the program itself, the function is not in a file of the library.
    return name.rfind(file, 0) == 0 ? path : std::string();
}

} // namespace

MathIntegrity checkMathIntegrity() {
    const std::string file = ortav::loader::systemName("ortav_math.dll");
    MathIntegrity m;
    m.file = loadedMathFile(file);
    if (m.file.empty()) {
        char found[KELMOR_FOUND_SIZE] = "";
        PathSearchHandle search = FirstPathFname(".", file.c_str(), found);
        if (search == nullptr)
            return m;
        m.file = found;
        ClosePathFName(search);
    }
    m.result = CheckFileInternalCRC32(m.file.c_str(), &m.stored, &m.computed, &m.whole);
    return m;
}

const MathIntegrity &lastMathIntegrity() {
    if (!g_last)
        g_last = checkMathIntegrity();
    return *g_last;
}

const char *mathIntegrityName(const MathIntegrity &m) {
    return m.result == 0 ? "intact" : m.result == 1 ? "modified" : "unchecked";
}

void showMathIntegrity() {
    g_last = checkMathIntegrity();
    const MathIntegrity &m = *g_last;
    if (m.result == 1)
        MessagePopup("ВНИМАНИЕ!", "Некорректная контрольная сумма\nфайла ortav_math.dll!");
    if (m.result == 0 || m.result == 1) {
        char version[KELMOR_VERSION_SIZE] = "";
        char date[KELMOR_DATE_SIZE] = "";
        GetFInfo(m.file.c_str(), version, date, nullptr, nullptr);
        char line[256];
        // The CRC of the file as it lies on disk, as any other checker of the file computes it;
        // the file named as it is on this system, so that the operator can find it.
        const std::string file = m.file.substr(m.file.rfind('/') + 1);
        std::snprintf(line, sizeof line, "%s, версия:%s, дата:%s, CRC32=%08X", file.c_str(),
                      version, date, static_cast<unsigned>(m.whole));
        SetCtrlVal(aboutPanel, ABOUT_CERT_MSG, line);
    }
}
