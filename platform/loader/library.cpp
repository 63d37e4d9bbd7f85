#include "library.h"

#include "elf_check.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <utility>

namespace ortav::loader {

namespace {

bool endsWithDll(std::string_view name) {
    if (name.size() < 4)
        return false;
    std::string_view ext = name.substr(name.size() - 4);
    for (size_t i = 0; i < 4; ++i) {
        char c = ext[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != ".dll"[i])
            return false;
    }
    return true;
}

std::string lastDlError() {
    const char *e = dlerror();
    return e ? std::string(e) : std::string("unknown error");
}

// The file a handle stands for, as the dynamic loader resolved it.
std::string loadedPath(void *handle, const std::string &fallback) {
    struct link_map *map = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name && map->l_name[0])
        return map->l_name;
    return fallback;
}

} // namespace

std::string systemName(std::string_view name) {
    if (!endsWithDll(name))
        return std::string(name);
    std::string_view stem = name.substr(0, name.size() - 4);
    // A path keeps its folder; only the file name changes.
    size_t slash = stem.rfind('/');
    std::string_view dir =
        slash == std::string_view::npos ? std::string_view() : stem.substr(0, slash + 1);
    std::string_view file = slash == std::string_view::npos ? stem : stem.substr(slash + 1);
    std::string out(dir);
    out += "lib";
    out += file;
    out += ".so";
    return out;
}

std::vector<std::string> searchFolders() {
    std::vector<std::string> folders;
    if (const char *env = std::getenv("ORTAV_DRIVER_PATH")) {
        std::string_view rest(env);
        while (true) {
            size_t colon = rest.find(':');
            std::string_view part = rest.substr(0, colon);
            if (!part.empty())
                folders.emplace_back(part);
            if (colon == std::string_view::npos)
                break;
            rest.remove_prefix(colon + 1);
        }
    }
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        std::filesystem::path dir = exe.parent_path();
        folders.push_back(dir.string());
        folders.push_back((dir.parent_path() / "lib").string());
        folders.push_back((dir.parent_path() / "lib" / "p_ortav").string()); // installed
    }
    return folders;
}

Library::~Library() {
    close();
}

Library::Library(Library &&other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), name_(std::move(other.name_)),
      path_(std::move(other.path_)), error_(std::move(other.error_)),
      skipped_(std::move(other.skipped_)) {}

Library &Library::operator=(Library &&other) noexcept {
    if (this != &other) {
        close();
        handle_ = std::exchange(other.handle_, nullptr);
        name_ = std::move(other.name_);
        path_ = std::move(other.path_);
        error_ = std::move(other.error_);
        skipped_ = std::move(other.skipped_);
    }
    return *this;
}

namespace {

bool exists(const std::string &path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

void tellSkipped(const std::string &note) {
    std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, note.c_str());
}

std::vector<std::string> ldLibraryPath() {
    std::vector<std::string> folders;
    const char *env = std::getenv("LD_LIBRARY_PATH");
    std::string_view rest(env ? env : "");
    while (!rest.empty()) {
        const size_t colon = rest.find(':');
        const std::string_view part = rest.substr(0, colon);
        folders.emplace_back(part.empty() ? std::string_view(".") : part);
        if (colon == std::string_view::npos)
            break;
        rest.remove_prefix(colon + 1);
    }
    return folders;
}

} // namespace

bool Library::tryFile(const std::string &path, int flags) {
    std::string problem = elfProblem(path);
    if (problem.empty()) {
        handle_ = dlopen(path.c_str(), flags);
        if (handle_) {
            path_ = loadedPath(handle_, path);
            return true;
        }
        problem = lastDlError();
        // The loader's reason names the file already.
        if (problem.rfind(path + ": ", 0) == 0)
            problem.erase(0, path.size() + 2);
    }
    skipped_.push_back(path + ": " + problem);
    tellSkipped("skipped " + skipped_.back());
    return false;
}

bool Library::load(std::string_view name) {
    close();
    name_ = std::string(name);
    path_.clear();
    error_.clear();
    skipped_.clear();
    const std::string file = systemName(name);
    const int flags = RTLD_NOW | RTLD_LOCAL;

    if (file.find('/') != std::string::npos) {
        if (exists(file) && tryFile(file, flags))
            return true;
        if (skipped_.empty()) {
            dlopen(file.c_str(), flags);
            error_ = "\"" + name_ + "\": " + lastDlError();
        } else {
            error_ = "\"" + name_ + "\": " + skipped_.front();
        }
        return false;
    }

    // A file that exists in one of our folders but does not load is the likely
    // culprit; its reason is more useful than "not found" from the system search.
    for (const std::string &folder : searchFolders()) {
        const std::string candidate = folder + "/" + file;
        if (exists(candidate) && tryFile(candidate, flags))
            return true;
    }
    // The dynamic loader looks in LD_LIBRARY_PATH before its own places: each
    // file there is checked first, and one that was refused is never handed
    // to it by name.
    bool refusedOnTheLoadersPath = false;
    for (const std::string &folder : ldLibraryPath()) {
        const std::string candidate = folder + "/" + file;
        if (!exists(candidate))
            continue;
        if (tryFile(candidate, flags))
            return true;
        refusedOnTheLoadersPath = true;
    }
    if (!refusedOnTheLoadersPath) {
        handle_ = dlopen(file.c_str(), flags);
        if (handle_) {
            path_ = loadedPath(handle_, file);
            return true;
        }
    }
    const std::string systemFailure = refusedOnTheLoadersPath ? "" : lastDlError();
    error_ = "\"" + name_ + "\": " + (skipped_.empty() ? systemFailure : skipped_.front());
    return false;
}

void Library::close() {
    if (handle_)
        dlclose(handle_);
    handle_ = nullptr;
}

void *Library::symbol(std::string_view symbolName) {
    std::string sym(symbolName);
    if (!handle_) {
        error_ = "\"" + sym + "\": no library is loaded";
        return nullptr;
    }
    dlerror();
    void *p = dlsym(handle_, sym.c_str());
    if (!p) {
        error_ = "\"" + sym + "\" in \"" + name_ + "\": " + lastDlError();
        return nullptr;
    }
    error_.clear();
    return p;
}

void Library::release() {
    handle_ = nullptr;
}

} // namespace ortav::loader
