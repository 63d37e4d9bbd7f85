// Choosing the VISA library, and the program's VISA calls reaching it.
#include "visa_library.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <link.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "visa.h"

namespace {

namespace visa = ortav::visa;

const std::string kVendorDir = ORTAV_VENDOR_DIR;

// Sets environment variables for one test (nullopt: unset) and restores them.
class Env {
public:
    explicit Env(std::map<std::string, std::optional<std::string>> values) {
        for (auto &[name, value] : values) {
            const char *old = std::getenv(name.c_str());
            old_[name] = old ? std::optional<std::string>(old) : std::nullopt;
            set(name, value);
        }
    }
    ~Env() {
        for (auto &[name, value] : old_)
            set(name, value);
    }

private:
    static void set(const std::string &name, const std::optional<std::string> &value) {
        if (value)
            setenv(name.c_str(), value->c_str(), 1);
        else
            unsetenv(name.c_str());
    }
    std::map<std::string, std::optional<std::string>> old_;
};

// The id the fake vendor library hands out as its resource manager (0: none).
ViSession resourceManagerId() {
    ViSession rm = 0;
    return viOpenDefaultRM(&rm) == VI_SUCCESS ? rm : 0;
}

// True when the system itself has a library of that name (not one of our stand-ins
// that an earlier test of this process loaded).
bool systemHas(const char *name) {
    void *h = dlopen(name, RTLD_LAZY);
    if (!h)
        return false;
    struct link_map *map = nullptr;
    bool ours = dlinfo(h, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name &&
                std::string(map->l_name).rfind(kVendorDir, 0) == 0;
    dlclose(h);
    return !ours;
}

bool selectArgs(std::vector<const char *> args) {
    args.insert(args.begin(), "p_ortav");
    return visa::selectFromArgs(static_cast<int>(args.size()), args.data());
}

TEST(VisaLibrary, EnvironmentNamesTheLibrary) {
    Env env({{"ORTAV_DRIVER_PATH", kVendorDir}, {"ORTAV_VISA_LIBRARY", "libiovisa.so"}});
    ASSERT_TRUE(visa::configure()) << visa::error();
    EXPECT_EQ(visa::libraryName(), "libiovisa.so");
    EXPECT_EQ(visa::libraryPath(), kVendorDir + "/libiovisa.so");
    EXPECT_EQ(resourceManagerId(), 3u);
    EXPECT_FALSE(visa::isSimulated());
    EXPECT_EQ(visa::benchName(), "");
    EXPECT_EQ(visa::benchError(), std::nullopt);
    char desc[256];
    EXPECT_EQ(viStatusDesc(0, VI_ERROR_TMO, desc), VI_SUCCESS);
    EXPECT_STREQ(desc, "vendor text");
    // A library without viParseRsrcEx still serves; the call says it is not there.
    EXPECT_EQ(viParseRsrcEx(0, "GPIB0::1::INSTR", nullptr, nullptr, nullptr, nullptr, nullptr),
              VI_ERROR_NSUP_OPER);
}

TEST(VisaLibrary, CommandLineOutranksTheEnvironment) {
    Env env({{"ORTAV_DRIVER_PATH", kVendorDir}, {"ORTAV_VISA_LIBRARY", "libiovisa.so"}});
    ASSERT_TRUE(selectArgs({"--visa", "librsvisa.so"})) << visa::error();
    EXPECT_EQ(resourceManagerId(), 4u);
    ASSERT_TRUE(selectArgs({"-style", "fusion", "--visa="})) << visa::error();
    EXPECT_EQ(resourceManagerId(), 3u) << "an empty --visa= leaves the choice to the environment";
    ASSERT_TRUE(selectArgs({"--visa", "librsvisa.so", "--visa=libiovisa.so"}));
    EXPECT_EQ(resourceManagerId(), 3u) << "the last option wins";
    ASSERT_TRUE(selectArgs({"--visa", (kVendorDir + "/librsvisa.so").c_str()}));
    EXPECT_EQ(resourceManagerId(), 4u);
}

TEST(VisaLibrary, AutoTriesTheVendorNamesInTurn) {
    for (const char *name : {"libvisa.so.0", "libvisa.so"})
        if (systemHas(name))
            GTEST_SKIP() << name << " is installed on this machine and comes first";
    Env env({{"ORTAV_DRIVER_PATH", kVendorDir}, {"ORTAV_VISA_LIBRARY", std::nullopt}});
    ASSERT_TRUE(visa::configure("auto")) << visa::error();
    EXPECT_EQ(visa::libraryName(), "libiovisa.so"); // before librsvisa.so
    EXPECT_EQ(resourceManagerId(), 3u);
    // The environment may say "auto" too.
    Env autoEnv({{"ORTAV_VISA_LIBRARY", std::optional<std::string>("auto")}});
    ASSERT_TRUE(selectArgs({}));
    EXPECT_EQ(visa::libraryName(), "libiovisa.so");
}

TEST(VisaLibrary, AutoFallsBackToTheSimulatedLibrary) {
    std::filesystem::path empty =
        std::filesystem::temp_directory_path() / ("ortav_visa_empty_" + std::to_string(getpid()));
    std::filesystem::create_directories(empty);
    Env env({{"ORTAV_DRIVER_PATH", empty.string()}, {"ORTAV_VISA_LIBRARY", std::nullopt}});
    for (const char *name : visa::kVendorLibraries) {
        if (systemHas(name))
            GTEST_SKIP() << name << " is installed on this machine";
        if (void *h = dlopen(name, RTLD_LAZY | RTLD_NOLOAD)) {
            dlclose(h);
            GTEST_SKIP() << "an earlier test of this process loaded " << name
                         << " (CTest runs each test on its own)";
        }
    }
    ASSERT_TRUE(selectArgs({"--visa", "auto"})) << visa::error();
    EXPECT_EQ(visa::libraryName(), visa::kSimulatedLibrary);
    EXPECT_TRUE(visa::isSimulated());
    std::filesystem::remove_all(empty);
}

TEST(VisaLibrary, MissingLibraryIsNamedWithTheLoadersReason) {
    Env env({{"ORTAV_DRIVER_PATH", kVendorDir}, {"ORTAV_VISA_LIBRARY", std::nullopt}});
    EXPECT_FALSE(visa::configure("libnosuchvisa.so"));
    EXPECT_EQ(visa::error(), "Не удалось загрузить библиотеку VISA \"libnosuchvisa.so\": "
                             "\"libnosuchvisa.so\": libnosuchvisa.so: cannot open shared object "
                             "file: No such file or directory");
    EXPECT_FALSE(visa::isLoaded());
    // Every call now says the library is missing; nothing falls back silently.
    ViSession rm = 5;
    EXPECT_EQ(viOpenDefaultRM(&rm), VI_ERROR_LIBRARY_NFOUND);
    EXPECT_EQ(viQueryf(1, "*IDN?\n", "%t", nullptr), VI_ERROR_LIBRARY_NFOUND);
    char desc[256];
    EXPECT_EQ(viStatusDesc(0, VI_ERROR_LIBRARY_NFOUND, desc), VI_SUCCESS);
    EXPECT_STREQ(desc, "A code library required by VISA could not be located or loaded.");

    // A library without every VISA function is refused, naming the missing one.
    EXPECT_FALSE(visa::configure(kVendorDir + "/libpartialvisa.so"));
    EXPECT_NE(visa::error().find("\"viVQueryf\""), std::string::npos) << visa::error();
    EXPECT_NE(visa::error().find("undefined symbol: viVQueryf"), std::string::npos)
        << visa::error();

    EXPECT_FALSE(selectArgs({"--visa"}));
    EXPECT_EQ(visa::error(), "Ключ --visa требует имени библиотеки VISA");

    // A later good choice recovers.
    EXPECT_TRUE(visa::configure("libiovisa.so"));
    EXPECT_EQ(visa::error(), "");
}

TEST(VisaLibrary, SimulatedByDefaultAndReachedThroughTheProgramsCalls) {
    Env env({{"ORTAV_VISA_LIBRARY", std::nullopt}, {"ORTAV_BENCH", std::nullopt}});
    ASSERT_TRUE(selectArgs({})) << visa::error();
    EXPECT_EQ(visa::libraryName(), visa::kSimulatedLibrary);
    EXPECT_TRUE(visa::isSimulated());
    EXPECT_FALSE(visa::benchName().empty());
    EXPECT_EQ(visa::benchError(), std::nullopt);

    ViSession rm = 0, vi = 0;
    ASSERT_EQ(viOpenDefaultRM(&rm), VI_SUCCESS);
    ViFindList list = 0;
    ViUInt32 count = 0;
    char desc[VI_FIND_BUFLEN];
    ASSERT_EQ(viFindRsrc(rm, "GPIB?*INSTR", &list, &count, desc), VI_SUCCESS);
    EXPECT_GE(count, 1u);
    ASSERT_EQ(viOpen(rm, "GPIB0::22::INSTR", VI_NO_LOCK, 0, &vi), VI_SUCCESS);
    unsigned char type[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    ASSERT_EQ(viGetAttribute(vi, VI_ATTR_INTF_TYPE, type), VI_SUCCESS);
    EXPECT_EQ(type[0] | type[1] << 8, VI_INTF_GPIB);
    EXPECT_EQ(type[2], 0xAA);
    ASSERT_EQ(viLock(vi, VI_EXCLUSIVE_LOCK, 2000, VI_NULL, VI_NULL), VI_SUCCESS);
    char reply[256] = {};
    ASSERT_EQ(viQueryf(vi, "%s\n", "%t", "*IDN?", reply), VI_SUCCESS);
    EXPECT_STREQ(reply, "HP3458A\n");
    EXPECT_EQ(viUnlock(vi), VI_SUCCESS);
    ViUInt32 n = 0;
    ASSERT_EQ(viWrite(vi, reinterpret_cast<ViConstBuf>("*IDN?\n"), 6, &n), VI_SUCCESS);
    ASSERT_EQ(viRead(vi, reinterpret_cast<ViPBuf>(reply), 4, &n), VI_SUCCESS_MAX_CNT);
    EXPECT_EQ(viClose(vi), VI_SUCCESS);
    EXPECT_EQ(viClose(rm), VI_SUCCESS);
}

} // namespace
