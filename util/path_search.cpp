// Search of a file along the given directory, the program's folder and the
// system's search paths.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

#include "kelmor_crc32.h"

struct PathSearch {
    static constexpr int kMaxEntries = 255;
    static constexpr std::size_t kTextSize = 64 * 1024;

    const char *entries[kMaxEntries] = {};
    bool tried[kMaxEntries] = {};
    int count = 0;
    char text[kTextSize] = {};
    std::size_t used = 0;

    // Appends one directory; a full table or text drops it.
    void add(std::string_view dir) {
        if (!dir.empty() && (dir.back() == '/' || dir.back() == '\\')) {
            dir.remove_suffix(1);
        }
        if (count == kMaxEntries || dir.size() + 1 > kTextSize - used) {
            return;
        }
        char *at = text + used;
        std::memcpy(at, dir.data(), dir.size());
        at[dir.size()] = '\0';
        used += dir.size() + 1;
        entries[count++] = at;
    }

    // A search path such as PATH: ':'-separated, an empty entry is ".".
    void addList(const char *list) {
        if (list == nullptr || *list == '\0') {
            return;
        }
        std::string_view rest(list);
        for (;;) {
            const std::size_t colon = rest.find(':');
            const std::string_view entry = rest.substr(0, colon);
            add(entry.empty() ? std::string_view(".") : entry);
            if (colon == std::string_view::npos) {
                break;
            }
            rest.remove_prefix(colon + 1);
        }
    }
};

namespace {

void addProgramFolder(PathSearch &search) {
    char exe[KELMOR_FOUND_SIZE];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) {
        return;
    }
    exe[n] = '\0';
    char *slash = std::strrchr(exe, '/');
    if (slash == nullptr) {
        return;
    }
    search.add(slash == exe ? std::string_view("/") : std::string_view(exe, slash - exe));
#ifdef ORTAV_INSTALL_LIBDIR
    // An installed program keeps the libraries it shares with others beside bin/.
    if (slash != exe) {
        char lib[KELMOR_FOUND_SIZE];
        const int n = std::snprintf(lib, sizeof lib, "%.*s/../%s", static_cast<int>(slash - exe),
                                    exe, ORTAV_INSTALL_LIBDIR);
        if (n > 0 && n < static_cast<int>(sizeof lib)) {
            search.add(lib);
        }
    }
#endif
}

// "<dir>/<file>" into found when it fits; exists when the file system knows it.
bool probe(const char *dir, const char *file, char *found) {
    const int n = std::snprintf(found, KELMOR_FOUND_SIZE, "%s/%s", dir, file);
    if (n < 0 || n >= KELMOR_FOUND_SIZE) {
        found[0] = '\0';
        return false;
    }
    struct stat st {};
    return ::stat(found, &st) == 0;
}

} // namespace

PathSearchHandle FirstPathFname(const char *dir, const char *file, char *found) {
    if (found != nullptr) {
        found[0] = '\0';
    }
    if (file == nullptr || found == nullptr) {
        return nullptr;
    }
    auto *search = new (std::nothrow) PathSearch;
    if (search == nullptr) {
        return nullptr;
    }
    if (dir != nullptr && *dir != '\0') {
        search->add(dir);
    }
    addProgramFolder(*search);
    search->addList(std::getenv("LD_LIBRARY_PATH"));
    search->addList(std::getenv("PATH"));

    // The first entry is tried here; the rest through NextPathFName.
    if (search->count > 0 && probe(search->entries[0], file, found)) {
        return search;
    }
    if (NextPathFName(search, file, found) == 1) {
        return search;
    }
    ClosePathFName(search);
    return nullptr;
}

int NextPathFName(PathSearchHandle handle, const char *file, char *found) {
    if (found != nullptr) {
        found[0] = '\0';
    }
    if (handle == nullptr || file == nullptr || found == nullptr) {
        return 0;
    }
    for (int i = 1; i < handle->count; ++i) {
        if (handle->tried[i]) {
            continue;
        }
        handle->tried[i] = true;
        if (probe(handle->entries[i], file, found)) {
            return 1;
        }
    }
    found[0] = '\0';
    return 0;
}

void ClosePathFName(PathSearchHandle handle) {
    delete handle;
}
