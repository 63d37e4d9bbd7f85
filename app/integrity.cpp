// The integrity line of ortav_math on the About panel: the library is looked
// for along the search path, its embedded CRC checked, and its version, date
// and CRC shown. A library that cannot be found or checked shows nothing.
#include "front_panel.h"

#include "kelmor_crc32.h"
#include "library.h"
#include "p_ortav.h"
#include "userint.h"

#include <cstdio>
#include <string>

void showMathIntegrity() {
    const std::string file = ortav::loader::systemName("ortav_math.dll");
    char found[KELMOR_FOUND_SIZE] = "";
    PathSearchHandle search = FirstPathFname(".", file.c_str(), found);
    if (search == nullptr)
        return;
    uint32_t stored = 0, computed = 0, whole = 0;
    int check = CheckFileInternalCRC32(found, &stored, &computed, &whole);
    if (check == 1)
        MessagePopup("ВНИМАНИЕ!", "Некорректная контрольная сумма\nфайла ortav_math.dll!");
    if (check == 0 || check == 1) {
        char version[KELMOR_VERSION_SIZE] = "";
        char date[KELMOR_DATE_SIZE] = "";
        GetFInfo(found, version, date, nullptr, nullptr);
        char line[256];
        // The CRC of the file as it lies on disk, as any other checker of the file computes it;
        // the file named as it is on this system, so that the operator can find it.
        std::snprintf(line, sizeof line, "%s, версия:%s, дата:%s, CRC32=%08X", file.c_str(),
                      version, date, static_cast<unsigned>(whole));
        SetCtrlVal(aboutPanel, ABOUT_CERT_MSG, line);
    }
    ClosePathFName(search);
}
