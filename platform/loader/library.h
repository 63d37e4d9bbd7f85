// Loading a shared library by name and binding its functions by name: the way the
// program reaches the carrier driver, the multimeter drivers and the VISA library,
// none of which it links at build time.
//
// Search order for a bare name (no '/'):
//   1. each folder of ORTAV_DRIVER_PATH (colon-separated), in order;
//   2. the program's own library folder: the folder of the running executable,
//      then its ../lib and ../lib/p_ortav (an installed program's private folder);
//   3. each folder of LD_LIBRARY_PATH;
//   4. the system's usual places (the dynamic loader's own search), unless a
//      file in step 3 was refused: the dynamic loader would take that one.
// A name with a '/' is loaded as given. A Windows-style name "X.dll" stands for
// "libX.so", so names written for the original platform keep working.
//
// Every file found in steps 1-3 (and a path given) is checked before the
// dynamic loader sees it (elf_check.h): one that is not a regular file, or
// whose headers or segments lie past its end, is skipped, and so is one the
// dynamic loader refuses; each skip is told on standard error and kept in
// skipped(). A failed load says why: the first skipped file and its reason,
// else the loader's own reason (dlerror).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ortav::loader {

// "carrik_32.dll" -> "libcarrik_32.so" (".dll" in any case); other names unchanged.
std::string systemName(std::string_view name);

// Folders searched before the system's own places, in order (steps 1 and 2 above).
std::vector<std::string> searchFolders();

// One reference to a loaded library; the destructor unloads it (dlclose) unless
// release() was called. Move-only.
class Library {
public:
    Library() = default;
    // Loads at once; check loaded() / error().
    explicit Library(std::string_view name) { load(name); }
    ~Library();
    Library(Library &&other) noexcept;
    Library &operator=(Library &&other) noexcept;
    Library(const Library &) = delete;
    Library &operator=(const Library &) = delete;

    // Loads the library (after unloading the one held, if any). False on failure,
    // with error() = "\"<name>\": <reason>".
    bool load(std::string_view name);
    void close();

    bool loaded() const { return handle_ != nullptr; }
    explicit operator bool() const { return loaded(); }

    const std::string &name() const { return name_; } // as asked for
    const std::string &path() const { return path_; } // the file that was loaded
    // Why the last load or bind failed; empty after a success.
    const std::string &error() const { return error_; }
    // "<file>: <reason>" of each file the last load passed over, in order.
    const std::vector<std::string> &skipped() const { return skipped_; }

    // Address of an exported symbol; nullptr, with error() = "\"<symbol>\" in
    // \"<library>\": <reason>", when it is missing or nothing is loaded.
    void *symbol(std::string_view symbolName);

    // fn = the symbol as a function pointer of fn's type; false when missing.
    template <class Fn> bool bind(std::string_view symbolName, Fn &fn) {
        void *p = symbol(symbolName);
        fn = reinterpret_cast<Fn>(p);
        return p != nullptr;
    }

    // The dlopen handle (for dlsym-level use), or nullptr.
    void *handle() const { return handle_; }

    // Keeps the library loaded for the rest of the process and forgets the handle.
    void release();

private:
    bool tryFile(const std::string &path, int flags);

    void *handle_ = nullptr;
    std::string name_;
    std::string path_;
    std::string error_;
    std::vector<std::string> skipped_;
};

} // namespace ortav::loader
