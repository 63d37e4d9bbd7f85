// The complete automatic verification (hardware version 2: 86 resistance and 8
// current points) and the complete calibration, run through the front panel on
// the simulated bench with the real clock and instant multimeters (a reading
// takes no time). The waits the procedures mandate (settle times, the pause
// before each reading) are recorded and summed: they are the floor no
// implementation can go under on this hardware, and everything else in the wall
// time (the program, the simulated hardware, the sleeps' overshoot, the disk) is
// outside them.
// Targets: outside/waits below 0.02 and 0.5 ms of processor time per judged
// point; resident memory flat over 20 runs; with
// the results database on (automaticVerificationRecorded) outside/waits no
// more than 0.01 above automaticVerification. The
// time the disk takes to sync the protocol and results lines is shown apart
// (sync_s); it overlaps the waits, so only a part of it is in outside_s.
#include <benchmark/benchmark.h>

#include "front_panel_harness.h"

#include "calib.h"
#include "linked_parts.h"
#include "p_ortav.h"
#include "protocol_file.h"
#include "results_recording.h"
#include "verification_chart.h"
#include "verification_run.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

// Time the disk spends making the protocol and results lines durable; most of
// it passes on the syncing thread, during the waits.
namespace {
std::atomic<double> syncSeconds = 0.0;
template <typename F> int timedSync(F sync, int fd) {
    const auto t0 = std::chrono::steady_clock::now();
    const int r = sync(fd);
    syncSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return r;
}
} // namespace
extern "C" int __real_fdatasync(int fd);
extern "C" int __real_fsync(int fd);
extern "C" int __wrap_fdatasync(int fd) {
    return timedSync(__real_fdatasync, fd);
}
extern "C" int __wrap_fsync(int fd) {
    return timedSync(__real_fsync, fd);
}

namespace {

// With instant multimeters every wait that takes time is one the procedures
// mandate (settle times, the pause before a reading); the readings record
// zero-length ones.
bool mandated(double w) {
    return w > 0.0;
}

// The whole process's processor time: the program, the simulated hardware and
// the thread that syncs the results lines.
double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// Times the process's threads went to sleep and were woken: on a virtual
// machine each costs tens of microseconds of processor time by itself.
long sleeps() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_nvcsw;
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

// The default bench with every multimeter instant.
std::string instantMeters() {
    std::string yaml(ortav::sim::defaultBenchYaml());
    const std::string kind = "\n  - kind: ";
    for (std::size_t at = yaml.find(kind); at != std::string::npos; at = yaml.find(kind, at + 1)) {
        const std::size_t end = yaml.find('\n', at + 1);
        yaml.insert(end, "\n    instant: true");
    }
    return yaml;
}

struct Program {
    harness::Operator op;
    std::filesystem::path dir;
    Program() {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        harness::install(op);
        char tmpl[] = "/tmp/ortav_calib_bench_XXXXXX";
        if (mkdtemp(tmpl) == nullptr)
            std::abort();
        // Nothing recorded but where a benchmark asks for it (recordedVerification).
        ortav::recording::Options off;
        off.off = true;
        ortav::recording::setOptions(off);
        if (harness::start(instantMeters()) != 0 || mvi == 0 || !hasMultimeter())
            std::abort();
        // ORTAV_BENCH_VIRTUAL=1: virtual time, for profiling the program alone.
        const char *virtualTime = std::getenv("ORTAV_BENCH_VIRTUAL");
        ortav::clock::setVirtual(virtualTime != nullptr && std::string(virtualTime) == "1");
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

// points(): how many points the run judged, for the processor time per point.
void measure(benchmark::State &state, const std::function<void()> &run,
             const std::function<void()> &between, const std::function<long()> &points = {}) {
    program();
    double wall = 0.0, waits = 0.0, cpu = 0.0;
    long count = 0, runs = 0, firstKb = 0, middleKb = 0, judged = 0, slept = 0;
    syncSeconds = 0.0;
    ortav::clock::setRecording(true);
    for (auto _ : state) {
        ortav::clock::clearWaits();
        const double c0 = cpuSeconds();
        const long s0 = sleeps();
        const auto t0 = std::chrono::steady_clock::now();
        run();
        const auto t1 = std::chrono::steady_clock::now();
        cpu += cpuSeconds() - c0;
        slept += sleeps() - s0;
        wall += std::chrono::duration<double>(t1 - t0).count();
        if (points)
            judged += points();
        for (double w : ortav::clock::waits())
            if (mandated(w)) {
                waits += w;
                ++count;
            }
        state.PauseTiming();
        between();
        ++runs;
        if (runs == 1)
            firstKb = residentKb(); // after the first run has warmed everything up
        if (runs == (state.max_iterations + 1) / 2)
            middleKb = residentKb();
        state.ResumeTiming();
    }
    ortav::clock::setRecording(false);
    const double n = static_cast<double>(state.iterations());
    // On virtual time the waits take no wall time at all.
    const double outside = ortav::clock::isVirtual() ? wall : wall - waits;
    state.counters["wall_s"] = wall / n;
    state.counters["waits_s"] = waits / n;
    state.counters["waits_n"] = static_cast<double>(count) / n;
    state.counters["outside_s"] = outside / n;
    state.counters["outside/waits"] = waits > 0 ? outside / waits : 0.0;
    state.counters["sync_s"] = syncSeconds / n;
    state.counters["cpu_ms"] = 1e3 * cpu / n;
    state.counters["sleeps"] = static_cast<double>(slept) / n;
    if (judged > 0)
        state.counters["cpu_ms_per_point"] = 1e3 * cpu / static_cast<double>(judged);
    // A leak grows with every run; the allocator's own high-water mark settles.
    state.counters["rss_growth_kb"] = static_cast<double>(residentKb() - firstKb);
    state.counters["rss_growth_2nd_half_kb"] = static_cast<double>(residentKb() - middleKb);
}

void emptySheet() {
    // The sheet's tables, its chart and the view keep every run's rows; start
    // each run from empty ones so that only the program's own memory counts.
    DefaultCtrl(ppPanel, PP_TABLE_R);
    DefaultCtrl(ppPanel, PP_TABLE_I);
    ortav::calib::verificationChartClear();
    ui::test::clearRecord(); // the test operator's log of popups
    ResetTextBox(chlpPanel, CHLP_LOG, "");
}

long judgedPoints() {
    return static_cast<long>(ortav::calib::lastVerificationRun().points.size());
}

void verify() {
    ui::test::click(ppPanel, PP_SET);
}

void automaticVerification(benchmark::State &state) {
    measure(state, verify, emptySheet, judgedPoints);
}

// The same with the chart shown over the tables, as the operator may watch it.
void automaticVerificationChartShown(benchmark::State &state) {
    program();
    ortav::calib::showVerificationChart(true);
    measure(state, verify, emptySheet, judgedPoints);
    ortav::calib::showVerificationChart(false);
}

// The same with every run and point recorded in a results database (SQLite in
// the bench's folder): set against automaticVerification, what recording adds.
void automaticVerificationRecorded(benchmark::State &state) {
    Program &p = program();
    ortav::recording::Options on;
    on.database = (p.dir / "results.sqlite").string();
    ortav::recording::setOptions(on);
    ortav::recording::start();
    if (!ortav::recording::recording())
        std::abort();
    measure(state, verify, emptySheet, judgedPoints);
    if (!ortav::recording::lastError().empty() || ortav::recording::lastRecordedRun().empty())
        std::abort(); // a benchmark of recording that did not record
    ortav::recording::Options off;
    off.off = true;
    ortav::recording::setOptions(off);
    ortav::recording::start();
}

// The verification's waits alone, slept one after the other with nothing else
// done: what waiting itself costs on this machine (the sleeps' overshoot, the
// processor time of going to sleep and waking up), the floor under the
// verification's figures here.
void waitsAlone(benchmark::State &state) {
    program();
    ortav::clock::setRecording(true);
    verify();
    const std::vector<double> waits = ortav::clock::waits();
    const long points = judgedPoints();
    ortav::clock::setRecording(false);
    emptySheet();
    measure(
        state,
        [&waits] {
            for (double w : waits)
                Delay(w);
        },
        [] {}, [points] { return points; });
}

void calibration(benchmark::State &state) {
    measure(
        state, [] { Calibrate(0); }, [] { ui::test::clearRecord(); });
}

// ORTAV_BENCH_RUNS=N runs each benchmark N times instead of its usual count:
// fewer for comparing two builds in turns, more for a steadier figure.
int runs(int usual) {
    const char *n = std::getenv("ORTAV_BENCH_RUNS");
    const int asked = n != nullptr ? std::atoi(n) : 0;
    return asked > 0 ? asked : usual;
}

} // namespace

int main(int argc, char **argv) {
    struct Entry {
        const char *name;
        void (*run)(benchmark::State &);
        int usual;
    };
    for (const Entry &e : {
             Entry{"automaticVerification", automaticVerification, 20},
             Entry{"automaticVerificationChartShown", automaticVerificationChartShown, 5},
             Entry{"automaticVerificationRecorded", automaticVerificationRecorded, 20},
             Entry{"waitsAlone", waitsAlone, 20},
             Entry{"calibration", calibration, 20},
         }) {
        benchmark::RegisterBenchmark(e.name, e.run)
            ->Iterations(runs(e.usual))
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
