// Search of a file along the given folder, the program's folder and the
// LD_LIBRARY_PATH and PATH entries.
#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

#include "kelmor_crc32.h"
#include "temp_dir.h"

namespace {

// Sets the two search variables for one test and restores them after.
class SearchEnv : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char *name : {"LD_LIBRARY_PATH", "PATH"}) {
            const char *v = std::getenv(name);
            saved_.push_back(v != nullptr ? std::optional<std::string>(v) : std::nullopt);
        }
    }
    void TearDown() override {
        const char *names[] = {"LD_LIBRARY_PATH", "PATH"};
        for (size_t i = 0; i < 2; ++i) {
            if (saved_[i]) {
                ::setenv(names[i], saved_[i]->c_str(), 1);
            } else {
                ::unsetenv(names[i]);
            }
        }
    }
    static void setSearch(const std::string &ldLibraryPath, const std::string &path) {
        ::setenv("LD_LIBRARY_PATH", ldLibraryPath.c_str(), 1);
        ::setenv("PATH", path.c_str(), 1);
    }
    // Every match, in order.
    static std::vector<std::string> findAll(const char *dir, const char *file) {
        std::vector<std::string> found;
        char path[KELMOR_FOUND_SIZE];
        PathSearchHandle h = FirstPathFname(dir, file, path);
        if (h == nullptr) {
            EXPECT_STREQ(path, "");
            return found;
        }
        do {
            found.emplace_back(path);
        } while (NextPathFName(h, file, path) == 1);
        EXPECT_STREQ(path, "");
        EXPECT_EQ(NextPathFName(h, file, path), 0) << "stays exhausted";
        ClosePathFName(h);
        return found;
    }

private:
    std::vector<std::optional<std::string>> saved_;
};

TEST_F(SearchEnv, TrailingSeparatorsAndRepeatedFolders) {
    TempDir a, b, c;
    writeFile(a.file("target.bin"), "a");
    writeFile(b.file("target.bin"), "b");
    const std::string A = a.path().string(), B = b.path().string(), C = c.path().string();
    // C has no copy; A is given with "/", listed again with "\" and bare.
    setSearch(C + ":" + B + "\\", A + "\\:/nonexistent:" + A);
    EXPECT_EQ(findAll((A + "/").c_str(), "target.bin"),
              (std::vector<std::string>{A + "/target.bin", B + "/target.bin", A + "/target.bin",
                                        A + "/target.bin"}));
}

TEST_F(SearchEnv, FirstDirectoryOptionalAndEmptyEntryIsCurrentFolder) {
    TempDir a;
    writeFile(a.file("target.bin"), "a");
    const std::string A = a.path().string();
    setSearch("", "/nonexistent::" + A);
    const std::string cwd = std::filesystem::current_path().string();
    ASSERT_NE(cwd, A);
    for (const char *dir : {static_cast<const char *>(nullptr), ""}) {
        EXPECT_EQ(findAll(dir, "target.bin"), std::vector<std::string>{A + "/target.bin"});
    }
    writeFile(cwd + "/ortav_search_probe.tmp", "x");
    EXPECT_EQ(findAll(nullptr, "ortav_search_probe.tmp"),
              std::vector<std::string>{"./ortav_search_probe.tmp"});
    std::filesystem::remove(cwd + "/ortav_search_probe.tmp");
}

TEST_F(SearchEnv, ProgramFolderComesAfterTheGivenOne) {
    TempDir a;
    const std::string exeDir = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    const std::string name = std::filesystem::read_symlink("/proc/self/exe").filename();
    writeFile(a.file(name), "copy");
    setSearch("", "");
    EXPECT_EQ(findAll(a.path().c_str(), name.c_str()),
              (std::vector<std::string>{a.file(name), exeDir + "/" + name}));
}

TEST_F(SearchEnv, NothingFound) {
    TempDir a;
    setSearch(a.path().string(), "");
    char found[KELMOR_FOUND_SIZE] = "stale";
    EXPECT_EQ(FirstPathFname(a.path().c_str(), "no_such_file.bin", found), nullptr);
    EXPECT_STREQ(found, "");
    // A name too long for the buffer is never matched rather than cut.
    const std::string longName(KELMOR_FOUND_SIZE, 'n');
    EXPECT_EQ(FirstPathFname("/", longName.c_str(), found), nullptr);

    strcpy(found, "stale");
    EXPECT_EQ(NextPathFName(nullptr, "x", found), 0);
    EXPECT_STREQ(found, "");
    ClosePathFName(nullptr);
}

TEST_F(SearchEnv, RootGivenAsSlash) {
    setSearch("", "");
    char found[KELMOR_FOUND_SIZE];
    PathSearchHandle h = FirstPathFname("/", "proc", found);
    ASSERT_NE(h, nullptr);
    EXPECT_STREQ(found, "/proc");
    ClosePathFName(h);
}

} // namespace
