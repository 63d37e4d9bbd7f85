// Reading a bench description. Internal to the bench library.
#pragma once

#include "bench.h"

namespace ortav::sim {

// Builds a bench from YAML text; file names the text in error messages.
// Throws BenchError.
std::unique_ptr<Bench> parseBench(std::string_view yaml, const std::string &file);

// Deterministic numbers for generated errors and noise: uniform in [-1, 1).
class Random {
public:
    explicit Random(uint64_t seed) : s_(seed) {}
    double symmetric();
    double gauss();

private:
    uint64_t next();
    uint64_t s_;
};

} // namespace ortav::sim
