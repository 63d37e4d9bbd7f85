// libFuzzer target: the bench description reader over arbitrary text. Whatever
// the text, the reader either builds a bench or throws one BenchError naming
// the file; any other exception, a crash or a hang is a fault.
#include "bench.h"
#include "bench_yaml.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    try {
        std::unique_ptr<ortav::sim::Bench> b = ortav::sim::parseBench(text, "fuzz.yaml");
        // What the rest of the bench relies on: every name is found again, and
        // every carrier and multimeter stands at one of the resources.
        for (const ortav::sim::Resource &r : b->resources)
            if (b->findResource(r.name) != &r)
                std::abort();
        for (const ortav::sim::Carrier &c : b->carriers)
            if (!b->findResource(c.resource) || b->findCarrier(c.resource) != &c)
                std::abort();
        for (const ortav::sim::Multimeter &m : b->multimeters)
            if (!b->findResource(m.resource))
                std::abort();
    } catch (const ortav::sim::BenchError &e) {
        if (std::string_view(e.what()).substr(0, 10) != "fuzz.yaml:")
            std::abort();
    }
    return 0;
}
