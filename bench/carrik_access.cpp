// Register accesses per second through the carrier interface on the simulated
// bench, so that operations counted in accesses (an EEPROM image read is about
// 12 000) can be put against it.
#include "bench.h"
#include "carrik.h"
#include "visa.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

using namespace ortav::sim;

struct Session {
    ViSession carrier = 0;
    ViSession module = 0;
    Session() {
        loadDefault();
        if (carrik_init("VXI0::8::INSTR", 1, 1, &carrier) != VI_SUCCESS ||
            carrik_m_init(carrier, 1, &module) != VI_SUCCESS)
            std::abort();
    }
    ~Session() { carrik_close(carrier); }
};

void readRegister(benchmark::State &state) {
    Session s;
    ViUInt16 v = 0;
    for (auto _ : state) {
        carrik_m_in16(s.module, reg::Id, &v);
        benchmark::DoNotOptimize(v);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(readRegister);

void writeRegister(benchmark::State &state) {
    Session s;
    ViUInt16 code = 0;
    for (auto _ : state)
        carrik_m_out16(s.module, reg::Dac, code++ & 0x0FFF);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(writeRegister);

// One bus bit as the driver clocks it: three writes and a read of the data line.
void busBit(benchmark::State &state) {
    Session s;
    ViUInt16 v = 0;
    for (auto _ : state) {
        carrik_m_out16(s.module, reg::Scl, 0);
        carrik_m_out16(s.module, reg::Sda, 4);
        carrik_m_out16(s.module, reg::Scl, 2);
        carrik_m_in16(s.module, reg::Sda, &v);
        benchmark::DoNotOptimize(v);
    }
    state.SetItemsProcessed(state.iterations() * 4);
}
BENCHMARK(busBit);

} // namespace

BENCHMARK_MAIN();
