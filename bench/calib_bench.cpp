// The complete automatic verification (hardware version 2: 86 resistance and 8
// current points) and the complete calibration, run through the front panel on
// the simulated bench. Time is virtual, so every wait returns at once and is
// recorded: the wall time measured is exactly the time spent beyond the waits,
// and the waits the procedures mandate (settle times, the pause before each
// reading) are the floor no implementation can go under on this hardware. The
// multimeter counts as instant: its own integration time is left out.
// Target: outside/waits below 0.05; resident memory flat over the runs. Each
// protocol line is synced to the disk as it is written; that time is reported
// apart (sync_s), as it belongs to the storage, and program/waits leaves it out.
#include <benchmark/benchmark.h>

#include "front_panel_harness.h"

#include "calib.h"
#include "linked_parts.h"
#include "p_ortav.h"
#include "protocol_file.h"

#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <unistd.h>

// Time spent making each protocol line durable: the disk's, not the program's.
namespace {
double syncSeconds = 0.0;
}
extern "C" int __real_fdatasync(int fd);
extern "C" int __wrap_fdatasync(int fd) {
    const auto t0 = std::chrono::steady_clock::now();
    const int r = __real_fdatasync(fd);
    syncSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return r;
}

namespace {

// The waits the procedures themselves mandate; anything else recorded is the
// simulated multimeter's integration time.
bool mandated(double w) {
    for (double m : {0.001, 0.002, 0.005, 0.05})
        if (std::fabs(w - m) < 1e-12)
            return true;
    return false;
}

long residentKb() {
    long pages = 0, resident = 0;
    if (FILE *f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

struct Program {
    harness::Operator op;
    std::filesystem::path dir;
    Program() {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        harness::install(op);
        char tmpl[] = "/tmp/ortav_calib_bench_XXXXXX";
        if (mkdtemp(tmpl) == nullptr || harness::start() != 0 || mvi == 0 || !hasMultimeter())
            std::abort();
        dir = tmpl;
        std::snprintf(logFileName, sizeof logFileName, "%s", (dir / "ortav.log").c_str());
        ui::test::selectTab(mp, tabCtrl, 1);
        ui::test::toggle(ppPanel, PP_AUTO_POV);
        hardVersion = 2;
    }
    ~Program() {
        harness::stop();
        calibReset();
        std::filesystem::remove_all(dir);
    }
};

Program &program() {
    static Program p;
    return p;
}

void measure(benchmark::State &state, const std::function<void()> &run,
             const std::function<void()> &between) {
    program();
    double wall = 0.0, waits = 0.0;
    long firstKb = 0;
    syncSeconds = 0.0;
    for (auto _ : state) {
        ortav::clock::clearWaits();
        const auto t0 = std::chrono::steady_clock::now();
        run();
        const auto t1 = std::chrono::steady_clock::now();
        wall += std::chrono::duration<double>(t1 - t0).count();
        for (double w : ortav::clock::waits())
            if (mandated(w))
                waits += w;
        state.PauseTiming();
        between();
        if (firstKb == 0)
            firstKb = residentKb(); // after the first run has warmed everything up
        state.ResumeTiming();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["waits_s"] = waits / n;
    state.counters["outside_s"] = wall / n;
    state.counters["outside/waits"] = waits > 0 ? wall / waits : 0.0;
    // The same without the disk's sync of each protocol line (storage-dependent).
    state.counters["sync_s"] = syncSeconds / n;
    state.counters["program/waits"] = waits > 0 ? (wall - syncSeconds) / waits : 0.0;
    state.counters["rss_growth_kb"] = static_cast<double>(residentKb() - firstKb);
}

void automaticVerification(benchmark::State &state) {
    measure(
        state, [] { ui::test::click(ppPanel, PP_SET); },
        [] {
            // The sheet's tables and the view keep every run's rows; start
            // each run from empty ones so that only the program's own memory counts.
            DefaultCtrl(ppPanel, PP_TABLE_R);
            DefaultCtrl(ppPanel, PP_TABLE_I);
            ResetTextBox(chlpPanel, CHLP_LOG, "");
        });
}
BENCHMARK(automaticVerification)->Iterations(20)->Unit(benchmark::kMillisecond);

void calibration(benchmark::State &state) {
    measure(
        state, [] { Calibrate(0); }, [] {});
}
BENCHMARK(calibration)->Iterations(20)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
