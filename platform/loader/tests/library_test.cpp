#include "library.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

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
