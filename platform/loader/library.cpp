#include "library.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

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
      path_(std::move(other.path_)), error_(std::move(other.error_)) {}

Library &Library::operator=(Library &&other) noexcept {
    if (this != &other) {
        close();
        handle_ = std::exchange(other.handle_, nullptr);
        name_ = std::move(other.name_);
        path_ = std::move(other.path_);
        error_ = std::move(other.error_);
    }
    return *this;
}

bool Library::load(std::string_view name) {
    close();
    name_ = std::string(name);
    path_.clear();
    error_.clear();
    const std::string file = systemName(name);
    const int flags = RTLD_NOW | RTLD_LOCAL;

    if (file.find('/') != std::string::npos) {
        handle_ = dlopen(file.c_str(), flags);
        if (!handle_) {
            error_ = "\"" + name_ + "\": " + lastDlError();
            return false;
        }
        path_ = loadedPath(handle_, file);
        return true;
    }

    // A file that exists in one of our folders but does not load is the likely
    // culprit; its reason is more useful than "not found" from the system search.
    std::string firstFailure;
    for (const std::string &folder : searchFolders()) {
        std::string candidate = folder + "/" + file;
        if (access(candidate.c_str(), F_OK) != 0)
            continue;
        handle_ = dlopen(candidate.c_str(), flags);
        if (handle_) {
            path_ = loadedPath(handle_, candidate);
            return true;
        }
        if (firstFailure.empty())
            firstFailure = lastDlError();
    }
    handle_ = dlopen(file.c_str(), flags);
    if (handle_) {
        path_ = loadedPath(handle_, file);
        return true;
    }
    std::string systemFailure = lastDlError();
    error_ = "\"" + name_ + "\": " + (firstFailure.empty() ? systemFailure : firstFailure);
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
