// Float to 32-bit integer conversion with a defined answer for every input.
#pragma once

#include <cstdint>
#include <limits>

namespace ortav_math {

// Truncates toward zero. A value that does not fit (NaN, infinities, beyond
// the int32 range) gives INT32_MIN, the "integer indefinite" that the x86
// truncating conversion yields; callers read that as an overflow.
inline std::int32_t truncToInt32(double x) {
    // Both bounds are exact doubles; NaN fails both comparisons.
    if (x > -2147483649.0 && x < 2147483648.0) {
        return static_cast<std::int32_t>(x);
    }
    return std::numeric_limits<std::int32_t>::min();
}

} // namespace ortav_math
