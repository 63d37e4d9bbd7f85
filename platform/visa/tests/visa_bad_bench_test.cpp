// A malformed bench file behind the simulated VISA library: the program can ask
// what is wrong, and VISA refuses to start as with a broken configuration.
// (The bench is read once per process, so this is a program of its own.)
#include "visa_library.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "visa.h"

TEST(VisaBadBench, MalformedBenchIsReportedAndTheResourceManagerRefused) {
    std::filesystem::path file = std::filesystem::temp_directory_path() /
                                 ("ortav_bad_bench_" + std::to_string(getpid()) + ".yaml");
    std::ofstream(file) << "name: broken\nresources:\n  - name: [unclosed\n";
    setenv("ORTAV_BENCH", file.c_str(), 1);
    unsetenv("ORTAV_VISA_LIBRARY");

    // The first VISA call chooses the library by itself: the simulated one.
    ViSession rm = 0;
    EXPECT_EQ(viOpenDefaultRM(&rm), VI_ERROR_INV_SETUP);
    ASSERT_TRUE(ortav::visa::isSimulated()) << ortav::visa::error();
    std::optional<std::string> error = ortav::visa::benchError();
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->rfind(file.string() + ":", 0), 0u) << *error;
    std::filesystem::remove(file);
}
