// The bench named by ORTAV_BENCH is read at first use; a malformed one leaves
// an empty bench and one message. A program of its own: the first use happens once.
#include "bench.h"
#include "carrik.h"
#include "visa.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

TEST(BenchFromEnvironment, MalformedFileLeavesAnEmptyBenchAndItsMessage) {
    const std::string path = ::testing::TempDir() + "sim_env_bench.yaml";
    std::ofstream(path) << "name: broken\nresources:\n  - name: VXI0::8::INSTR\n    slot: -1\n";
    ASSERT_EQ(setenv("ORTAV_BENCH", path.c_str(), 1), 0);

    char message[256];
    EXPECT_EQ(ortavBench_check(message, sizeof message), -1);
    EXPECT_EQ(std::string(message), path + ":4:11: slot must lie in 0..255, not -1");
    EXPECT_TRUE(ortav::sim::bench().resources.empty());
    ViSession vi = 0;
    EXPECT_EQ(carrik_init("VXI0::8::INSTR", 1, 1, &vi), VI_ERROR_RSRC_NFOUND);

    // A good file named afterwards (the command-line option) replaces it.
    std::ofstream(path) << "name: mended\nresources:\n  - name: VXI0::8::INSTR\n";
    EXPECT_EQ(ortavBench_load(path.c_str(), message, sizeof message), 0);
    EXPECT_EQ(ortavBench_check(message, sizeof message), 0);
    EXPECT_STREQ(message, "");
}
