#include "points.h"

#include <array>

namespace ortav::calib {
namespace {

// Version 2 runs the version 0 list and goes on up to 2 kOhm.
constexpr std::array<double, 43> kList2 = {
    10.1, 20,    30,   50,   70,   100,  100.1,  120,  130,  150,  170,  200,   240, 280, 320,
    360,  399,   400,  450,  500,  550,  599.8,  600,  650,  700,  750,  799.7, 800, 850, 900,
    950,  999.5, 1000, 1100, 1200, 1300, 1498.5, 1500, 1600, 1700, 1800, 1998,  2000};
constexpr std::size_t kList0Size = 33;
constexpr std::array<double, 5> kList1 = {95.1, 100, 110, 119.9, 120};
constexpr std::array<double, 4> kCurrents = {2.78, 2.0, 1.0, 0.1};

} // namespace

std::span<const double> resistancePoints(int hardVersion) {
    switch (hardVersion) {
    case 0:
        return std::span<const double>(kList2.data(), kList0Size);
    case 1:
        return kList1;
    case 2:
        return kList2;
    default:
        return {};
    }
}

bool hasPointList(int hardVersion) {
    return !resistancePoints(hardVersion).empty();
}

std::span<const double> currentPoints() {
    return kCurrents;
}

} // namespace ortav::calib
