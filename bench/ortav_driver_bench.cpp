// The module driver's long operations on the simulated bench, on virtual time:
// each reports its register accesses, the settle waits it must spend (the
// physical floor, from the clock's record) and the wall time it takes besides
// them. The last should be a small fraction of the waits.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>

#include "bench.h"
#include "carrik.h"
#include "delay.h"
#include "ortav.h"

namespace {

std::uint64_t accesses = 0;

} // namespace

extern "C" {
ViStatus __real_carrik_m_in16(ViSession vi, ViUInt32 offset, ViUInt16 *value);
ViStatus __real_carrik_m_out16(ViSession vi, ViUInt32 offset, ViUInt16 value);

ViStatus __wrap_carrik_m_in16(ViSession vi, ViUInt32 offset, ViUInt16 *value) {
    ++accesses;
    return __real_carrik_m_in16(vi, offset, value);
}
ViStatus __wrap_carrik_m_out16(ViSession vi, ViUInt32 offset, ViUInt16 value) {
    ++accesses;
    return __real_carrik_m_out16(vi, offset, value);
}
}

namespace {

struct Session {
    ViSession carrier = 0;
    ViSession vi = 0;
    DeviceData *rec = nullptr;
    Session() {
        ortav::clock::setVirtual(true);
        ortav::sim::loadDefault();
        if (carrik_init("VXI0::8::INSTR", 1, 1, &carrier) != VI_SUCCESS || open() != VI_SUCCESS)
            std::abort();
    }
    ~Session() {
        ortav_close(vi);
        carrik_close(carrier);
    }
    ViStatus open() {
        ViStatus s = ortav_init(carrier, 1, 1, 1, &vi);
        ViAttrState v = 0;
        carrik_m_get_attribute(vi, ATTR_MODULE_DATA, &v);
        rec = reinterpret_cast<DeviceData *>(static_cast<std::uintptr_t>(v));
        return s;
    }
};

// Runs op once per iteration; `between` (untimed, uncounted) prepares the next.
void measure(benchmark::State &state, const std::function<ViStatus()> &op,
             const std::function<void()> &between = {}) {
    double wall = 0.0, waits = 0.0;
    std::uint64_t count = 0;
    for (auto _ : state) {
        ortav::clock::clearWaits();
        accesses = 0;
        auto t0 = std::chrono::steady_clock::now();
        ViStatus s = op();
        auto t1 = std::chrono::steady_clock::now();
        if (s < 0) {
            state.SkipWithError("operation failed");
            return;
        }
        wall += std::chrono::duration<double>(t1 - t0).count();
        for (double w : ortav::clock::waits())
            waits += w;
        count += accesses;
        if (between) {
            state.PauseTiming();
            between();
            state.ResumeTiming();
        }
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["accesses"] = static_cast<double>(count) / n;
    state.counters["waits_ms"] = waits / n * 1e3;
    state.counters["outside_ms"] = wall / n * 1e3;
    state.counters["us/access"] = count ? wall / static_cast<double>(count) * 1e6 : 0.0;
    if (waits > 0) // an EEPROM read has no waits at all: the bus accesses are its pace
        state.counters["outside/waits"] = wall / waits;
}

void eepromRead(benchmark::State &state) {
    Session s;
    measure(state, [&] { return ortav_readFlash(s.rec); });
}
BENCHMARK(eepromRead)->Unit(benchmark::kMillisecond);

void eepromWrite(benchmark::State &state) {
    Session s;
    measure(state, [&] { return ortav_writeFlash(s.rec); });
}
BENCHMARK(eepromWrite)->Unit(benchmark::kMillisecond);

void init(benchmark::State &state) {
    Session s;
    ortav_close(s.vi);
    measure(
        state, [&] { return s.open(); }, [&] { ortav_close(s.vi); });
    s.open();
}
BENCHMARK(init)->Unit(benchmark::kMillisecond);

void selfTest(benchmark::State &state) {
    Session s;
    ViInt16 result = 0;
    char message[256];
    measure(state, [&] {
        ViStatus st = ortav_self_test(s.vi, &result, message);
        return result == 0 ? st : ORTAV_ERROR_SELF_TEST;
    });
}
BENCHMARK(selfTest)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
