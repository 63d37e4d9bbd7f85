// Verification tolerance checks. Numbers are formatted and read back without
// the C locale functions, so a program that switched LC_NUMERIC (Qt does)
// still gets the protocol's decimal points.
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>

#include "float_cast.h"
#include "ortav_math.h"

namespace {

// Every text field is at most this long, NUL included.
constexpr size_t kTextSize = 16;

// One protocol field, cut at its size.
[[gnu::format(printf, 2, 3)]] void field(char *text, const char *format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, kTextSize, format, args);
    va_end(args);
}

// printf("%.<precision>e", x) in the C locale.
size_t formatExp(char *out, size_t size, double x, int precision) {
    auto [end, ec] =
        std::to_chars(out, out + size - 1, x, std::chars_format::scientific, precision);
    if (ec != std::errc()) {
        end = out;
    }
    *end = '\0';
    return static_cast<size_t>(end - out);
}

// printf("%3.1e", x) into a protocol field.
void formatExpField(char *text, double x) {
    char digits[32];
    formatExp(digits, sizeof digits, x, 1);
    field(text, "%3s", digits);
}

// Round to 7 significant digits the way printing with "%.6e" and reading back
// would.
double roundTo7(double x) {
    char text[32];
    const size_t n = formatExp(text, sizeof text, x, 6);
    double y = x;
    std::from_chars(text, text + n, y);
    return y;
}

// Tolerance as its two leading digits T and the decimal exponent E of the
// first one, from "%.2e": 0.05 is T 50, E -2.
struct TwoDigits {
    int t;
    int e;
};

TwoDigits twoDigits(double tolerance) {
    char text[32];
    formatExp(text, sizeof text, tolerance, 2); // d.dde±x for finite, non-negative input
    const char *exp = std::strrchr(text, 'e');
    int e = 0;
    if (exp != nullptr) {
        std::from_chars(exp + (exp[1] == '+' ? 2 : 1), text + std::strlen(text), e);
    }
    const int m = (text[0] - '0') * 100 + (text[2] - '0') * 10 + (text[3] - '0');
    return {(m + 5) / 10, e};
}

void formatTolerance(char *text, double tolerance, int t, int e) {
    switch (e) {
    case -4:
        field(text, "0.000%d%d", t / 10, t % 10);
        break;
    case -3:
        field(text, "0.00%d%d", t / 10, t % 10);
        break;
    case -2:
        field(text, " 0.0%d%d", t / 10, t % 10);
        break;
    case -1:
        field(text, "  0.%d%d", t / 10, t % 10);
        break;
    case 0:
        field(text, "%4d.%d", t / 10, t % 10);
        break;
    case 1:
        field(text, "%6d", t);
        break;
    default:
        formatExpField(text, tolerance);
        break;
    }
}

// n: the deviation as two significant digits in units of 10^p.
void formatDeviation(char *text, double dev, bool negative, int n, int p) {
    const int q = n / 10;
    const int r = n % 10;
    if (p <= -6) {
        formatExpField(text, negative ? -dev : dev);
        return;
    }
    if (p >= 1) {
        field(text, "%s", negative ? "> -100.0" : ">100.0");
        return;
    }
    if (!negative) {
        switch (p) {
        case -5:
            field(text, " 0.000%d%d", q, r);
            break;
        case -4:
            field(text, " 0.00%d%d", q, r);
            break;
        case -3:
            field(text, "  0.0%d%d", q, r);
            break;
        case -2:
            field(text, "   0.%d%d", q, r);
            break;
        case -1:
            field(text, " %4d.%d", q, r);
            break;
        default:
            field(text, " %6d", n);
            break;
        }
        return;
    }
    switch (p) {
    case -5:
        field(text, "-0.000%d%d", q, r);
        break;
    case -4:
        field(text, "-0.00%d%d", q, r);
        break;
    case -3:
        field(text, " -0.0%d%d", q, r);
        break;
    case -2:
        field(text, "  -0.%d%d", q, r);
        break;
    case -1: {
        // "%4d.%d" of -q, keeping the minus when q is 0: "-0.3". N < 100 here,
        // so q is one digit.
        field(text, "  -%d.%d", q, r);
        break;
    }
    default:
        field(text, "%6d", -n);
        break;
    }
}

} // namespace

extern "C" {

ORTAV_MATH_API ViInt32 ortavMath_povCheckValueAbs(ViReal64 value, ViReal64 reference,
                                                  ViReal64 tolerance, ViReal64 *deviation) {
    const double dev = std::fabs(roundTo7(value) - roundTo7(reference));
    if (deviation != nullptr) {
        *deviation = dev;
    }
    // Allow one part in 10^9 over the tolerance for the rounding above.
    return tolerance * 1.000000001 < dev ? 1 : 0;
}

ORTAV_MATH_API ViInt32 ortavMath_povCheckValueProc(ViReal64 base, ViReal64 reference,
                                                   ViReal64 value, ViReal64 tolerance,
                                                   ViChar toleranceText[], ViChar deviationText[]) {
    char scratchTolerance[kTextSize];
    char scratchDeviation[kTextSize];
    char *tolText = toleranceText != nullptr ? toleranceText : scratchTolerance;
    char *devText = deviationText != nullptr ? deviationText : scratchDeviation;

    double dev = (value - reference) * 100.0 / base;
    const bool negative = dev < 0;
    dev = std::fabs(dev);

    // Two-digit tolerance T, its exponent E. A tolerance that is not a finite
    // non-negative number has no such digits: it is printed as it is; nothing
    // is within a negative or undefined tolerance, everything finite within
    // an infinite one.
    int t = 0;
    int e = 0;
    bool alwaysOut = false;
    if (tolerance == 0.0) {
        tolerance = 0.0; // -0.0 prints with a sign
    }
    if (std::isfinite(tolerance) && tolerance >= 0.0) {
        const TwoDigits td = twoDigits(tolerance);
        t = td.t;
        e = td.e;
        if (t == 100 && e >= -4 && e <= -1) {
            // 9.96e-02 rounds up to 0.10, one decade higher than its exponent.
            formatTolerance(tolText, tolerance, 10, e + 1);
        } else {
            formatTolerance(tolText, tolerance, t, e);
        }
    } else {
        formatExpField(tolText, tolerance);
        if (std::isfinite(tolerance)) {
            e = twoDigits(-tolerance).e;
        }
        if (tolerance > 0.0) {
            t = std::numeric_limits<int>::max();
        } else {
            alwaysOut = true;
        }
    }
    int p = e - 1; // decimal position of T's last digit

    // The deviation in units of T's last digit.
    std::int32_t n = ortav_math::truncToInt32(dev * std::pow(10.0, 1 - e) + 0.5);
    ViInt32 result;
    if (n < 0) {
        result = 1;
        p = 1;
        n = 9999999;
    } else {
        if (n == 0 && value != reference) {
            n = 1;
        }
        result = (alwaysOut || n > t) ? 1 : 0;
    }
    while (n >= 100) {
        n = (n + 5) / 10;
        ++p;
    }
    formatDeviation(devText, dev, negative, n, p);
    return result;
}

} // extern "C"
