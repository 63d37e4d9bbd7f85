#include "library.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

using ortav::loader::Library;

const std::string kProbeDir = ORTAV_PROBE_DIR;

// Sets ORTAV_DRIVER_PATH for one test (unset for nullopt) and restores it.
class DriverPath {
public:
    explicit DriverPath(std::optional<std::string> value) {
        if (const char *old = std::getenv("ORTAV_DRIVER_PATH"))
            old_ = old;
        if (value)
            setenv("ORTAV_DRIVER_PATH", value->c_str(), 1);
        else
            unsetenv("ORTAV_DRIVER_PATH");
    }
    ~DriverPath() {
        if (old_)
            setenv("ORTAV_DRIVER_PATH", old_->c_str(), 1);
        else
            unsetenv("ORTAV_DRIVER_PATH");
    }

private:
    std::optional<std::string> old_;
};

int probeId(Library &lib) {
    int (*probe)() = nullptr;
    EXPECT_TRUE(lib.bind("ortavProbe", probe)) << lib.error();
    return probe ? probe() : -1;
}

TEST(LibraryName, WindowsNamesMapToSharedObjects) {
    struct Case {
        const char *in, *out;
    } cases[] = {
        {"carrik_32.dll", "libcarrik_32.so"},
        {"HP3458A.DLL", "libHP3458A.so"},
        {"/opt/x/mervd.dll", "/opt/x/libmervd.so"},
        {"libvisa.so.7", "libvisa.so.7"},
        {"dll", "dll"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ortav::loader::systemName(c.in), c.out) << c.in;
}

struct OrderCase {
    std::optional<std::string> driverPath;
    std::string name;
    int expectedCopy;
};

void PrintTo(const OrderCase &c, std::ostream *os) {
    *os << "ORTAV_DRIVER_PATH=" << c.driverPath.value_or("(unset)") << " name=" << c.name;
}

class SearchOrder : public ::testing::TestWithParam<OrderCase> {};

TEST_P(SearchOrder, FindsTheFirstCopyInOrder) {
    const OrderCase &c = GetParam();
    DriverPath env(c.driverPath);
    Library lib(c.name);
    ASSERT_TRUE(lib.loaded()) << lib.error();
    EXPECT_EQ(probeId(lib), c.expectedCopy) << lib.path();
    EXPECT_TRUE(lib.error().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Loader, SearchOrder,
    ::testing::Values(
        // ORTAV_DRIVER_PATH first, folder by folder; empty parts are ignored.
        OrderCase{kProbeDir + "/a:" + kProbeDir + "/b", "libortav_loader_probe.so", 1},
        OrderCase{kProbeDir + "/b::" + kProbeDir + "/a", "libortav_loader_probe.so", 2},
        OrderCase{"/nonexistent:" + kProbeDir + "/b", "ortav_loader_probe.dll", 2},
        // Then the program's own folder, then its ../lib.
        OrderCase{std::string("/nonexistent"), "libortav_loader_probe.so", 3},
        OrderCase{std::nullopt, "ortav_loader_probe.dll", 3},
        OrderCase{std::nullopt, "libortav_loader_probe_lib.so", 4},
        // A path is taken as given.
        OrderCase{kProbeDir + "/a", kProbeDir + "/b/libortav_loader_probe.so", 2}));

TEST(Loader, FallsBackToTheSystemPlaces) {
    DriverPath env(std::nullopt);
    Library lib("libm.so.6");
    ASSERT_TRUE(lib.loaded()) << lib.error();
    EXPECT_NE(lib.path().find("libm.so.6"), std::string::npos);
    double (*cosine)(double) = nullptr;
    ASSERT_TRUE(lib.bind("cos", cosine));
    EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
}

TEST(Loader, MissingLibraryGivesTheLoadersReason) {
    DriverPath env(kProbeDir + "/a");
    Library lib("no_such_driver.dll");
    EXPECT_FALSE(lib.loaded());
    EXPECT_EQ(lib.error(), "\"no_such_driver.dll\": libno_such_driver.so: cannot open shared "
                           "object file: No such file or directory");
}

TEST(Loader, BrokenFileInTheSearchPathIsReportedRatherThanNotFound) {
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("ortav_loader_test_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "libbroken_driver.so") << "not a library";
    DriverPath env(dir.string());
    Library lib("broken_driver.dll");
    EXPECT_FALSE(lib.loaded());
    EXPECT_NE(lib.error().find((dir / "libbroken_driver.so").string()), std::string::npos)
        << lib.error();
    EXPECT_EQ(lib.error().find("cannot open shared object file"), std::string::npos) << lib.error();
    std::filesystem::remove_all(dir);
}

// A folder of its own for one test, removed with everything in it.
class TempFolder {
public:
    explicit TempFolder(const std::string &tag)
        : path_(std::filesystem::temp_directory_path() /
                ("ortav_loader_" + tag + "_" + std::to_string(getpid()))) {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() { std::filesystem::remove_all(path_); }
    std::string file(const std::string &name) const { return (path_ / name).string(); }
    std::string path() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

std::string probeBytes() {
    std::ifstream in(kProbeDir + "/a/libortav_loader_probe.so", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const std::string &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A broken copy of the library, of one kind per row, where it is found first.
struct BrokenCase {
    const char *what;
    std::function<void(const std::string &path)> make;
    std::string reasonStart, reasonEnd; // the reason, or its two ends
};

std::vector<BrokenCase> brokenCases() {
    const std::string elf = probeBytes();
    auto cut = [elf](size_t n) {
        return [elf, n](const std::string &p) { writeBytes(p, elf.substr(0, n)); };
    };
    auto size = [](size_t n) {
        return " past the end of the file (" + std::to_string(n) + " bytes)";
    };
    return {
        {"empty", cut(0), "an empty file (0 bytes)", ""},
        {"64 bytes", cut(64), "truncated: its program headers (bytes 64..", size(64)},
        {"1 KiB", cut(1024), "truncated: ", size(1024)},
        {"a quarter", cut(elf.size() / 4), "truncated: ", size(elf.size() / 4)},
        {"a half", cut(elf.size() / 2), "truncated: ", size(elf.size() / 2)},
        {"all but its last byte", cut(elf.size() - 1), "truncated: its section headers (",
         size(elf.size() - 1)},
        {"text", [](const std::string &p) { writeBytes(p, "not a library\n"); }, "not an ELF file",
         ""},
        {"ELF magic only",
         [](const std::string &p) {
             writeBytes(p, "\x7f"
                           "ELF");
         },
         "truncated: shorter than its ELF header (4 bytes)", ""},
        {"fifo", [](const std::string &p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); },
         "not a regular file", ""},
        {"folder", [](const std::string &p) { std::filesystem::create_directory(p); },
         "not a regular file", ""},
    };
}

bool hasReason(const std::string &text, const BrokenCase &c) {
    return text.rfind(c.reasonStart, 0) == 0 && text.size() >= c.reasonEnd.size() &&
           text.compare(text.size() - c.reasonEnd.size(), c.reasonEnd.size(), c.reasonEnd) == 0;
}

// Before the dynamic loader maps a file (where a truncated one faults with
// SIGBUS), the file is checked: a broken copy is skipped with its reason and
// the next copy in the search order loads; given by path, it is refused.
TEST(Loader, BrokenFilesAreSkippedWithTheirReason) {
    ASSERT_GT(probeBytes().size(), 4096u);
    for (const BrokenCase &c : brokenCases()) {
        SCOPED_TRACE(c.what);
        TempFolder dir("broken");
        const std::string broken = dir.file("libortav_loader_probe.so");
        c.make(broken);
        DriverPath env(dir.path());

        ::testing::internal::CaptureStderr();
        Library lib("libortav_loader_probe.so");
        const std::string told = ::testing::internal::GetCapturedStderr();
        ASSERT_TRUE(lib.loaded()) << lib.error();
        EXPECT_EQ(probeId(lib), 3) << "the copy beside the program";
        ASSERT_EQ(lib.skipped().size(), 1u);
        const std::string &skip = lib.skipped()[0];
        ASSERT_EQ(skip.rfind(broken + ": ", 0), 0u) << skip;
        EXPECT_TRUE(hasReason(skip.substr(broken.size() + 2), c)) << skip;
        EXPECT_EQ(told, "ortav_loader_test: skipped " + skip + "\n");

        Library byPath(broken);
        EXPECT_FALSE(byPath.loaded());
        EXPECT_EQ(byPath.error(), "\"" + broken + "\": " + skip);
    }
}

// LD_LIBRARY_PATH is searched by the loader itself, each file checked; one it
// refused is never handed to the dynamic loader by name, which would map it.
TEST(Loader, TheDynamicLoadersPathIsCheckedToo) {
    TempFolder bad("ld_bad"), good("ld_good");
    const std::string elf = probeBytes();
    writeBytes(bad.file("libortav_loader_elsewhere.so"), elf.substr(0, elf.size() / 2));
    writeBytes(good.file("libortav_loader_elsewhere.so"), elf);
    DriverPath env(std::nullopt);
    const std::string old = std::getenv("LD_LIBRARY_PATH") ? std::getenv("LD_LIBRARY_PATH") : "";

    setenv("LD_LIBRARY_PATH", bad.path().c_str(), 1);
    Library refused("ortav_loader_elsewhere.dll");
    EXPECT_FALSE(refused.loaded());
    EXPECT_EQ(refused.error().rfind("\"ortav_loader_elsewhere.dll\": " +
                                        bad.file("libortav_loader_elsewhere.so") + ": truncated: ",
                                    0),
              0u)
        << refused.error();

    setenv("LD_LIBRARY_PATH", (bad.path() + ":" + good.path()).c_str(), 1);
    Library loaded("ortav_loader_elsewhere.dll");
    EXPECT_TRUE(loaded.loaded()) << loaded.error();
    EXPECT_EQ(loaded.path(), good.file("libortav_loader_elsewhere.so"));
    EXPECT_EQ(loaded.skipped().size(), 1u);
    loaded.close();

    if (old.empty())
        unsetenv("LD_LIBRARY_PATH");
    else
        setenv("LD_LIBRARY_PATH", old.c_str(), 1);
}

TEST(Loader, MissingSymbolNamesSymbolLibraryAndReason) {
    DriverPath env(kProbeDir + "/a");
    Library lib("libortav_loader_probe.so");
    ASSERT_TRUE(lib.loaded());
    void (*fn)() = nullptr;
    EXPECT_FALSE(lib.bind("carrik_init", fn));
    EXPECT_EQ(fn, nullptr);
    EXPECT_NE(lib.error().find("\"carrik_init\" in \"libortav_loader_probe.so\": "),
              std::string::npos)
        << lib.error();
    EXPECT_NE(lib.error().find("undefined symbol: carrik_init"), std::string::npos) << lib.error();
    // A later successful bind clears the error.
    EXPECT_EQ(probeId(lib), 1);
    EXPECT_TRUE(lib.error().empty());

    Library none;
    EXPECT_EQ(none.symbol("x"), nullptr);
    EXPECT_FALSE(none.error().empty());
}

TEST(Loader, OwnershipMovesAndReleaseKeepsTheLibraryLoaded) {
    DriverPath env(kProbeDir + "/a");
    Library a("libortav_loader_probe.so");
    ASSERT_TRUE(a.loaded());
    void *handle = a.handle();
    Library b(std::move(a));
    EXPECT_FALSE(a.loaded());
    EXPECT_EQ(b.handle(), handle);

    std::string path = b.path();
    b.release();
    EXPECT_FALSE(b.loaded());
    // Still mapped: RTLD_NOLOAD finds it without loading.
    void *again = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(again, nullptr);
    dlclose(again);
    dlclose(handle); // the reference release() left behind
}

} // namespace
