#include "format.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "c_numbers.h"
#include "visa.h"

namespace ortav::simvisa {

namespace {

struct Spec {
    std::string flags;
    bool hash = false;
    bool suppress = false; // read: '*', assignment suppressed
    bool widthArg = false; // write: '*'
    int width = -1;
    bool precisionArg = false;
    int precision = -1;
    std::string length; // "", "h", "hh", "l", "ll", "z"
    char conv = 0;
};

// Parses the conversion after a '%'; p points past it on return. False: malformed.
bool parseSpec(const char *&p, Spec &s, bool reading) {
    while (*p && std::strchr(reading ? "*#" : "-+ #0", *p)) {
        if (*p == '#')
            s.hash = true;
        else if (*p == '*')
            s.suppress = true;
        else
            s.flags += *p;
        ++p;
    }
    if (!reading && *p == '*') {
        s.widthArg = true;
        ++p;
    } else if (std::isdigit(static_cast<unsigned char>(*p))) {
        s.width = static_cast<int>(std::strtol(p, const_cast<char **>(&p), 10));
    }
    if (!reading && *p == '.') {
        ++p;
        if (*p == '*') {
            s.precisionArg = true;
            ++p;
        } else {
            s.precision = static_cast<int>(std::strtol(p, const_cast<char **>(&p), 10));
        }
    }
    if (*p == 'h' || *p == 'l') {
        s.length += *p++;
        if (*p == s.length[0])
            s.length += *p++;
    } else if (*p == 'z') {
        s.length += *p++;
    }
    if (!*p)
        return false;
    s.conv = *p++;
    return true;
}

// The library is loaded into any program, and one that adopted the user's
// locale (Qt does) would otherwise send "1,5" to an instrument.
using ortav::text::CNumbers;

template <class T> void appendFormatted(std::string &out, const std::string &spec, T value) {
    CNumbers numbers;
    int n = std::snprintf(nullptr, 0, spec.c_str(), value);
    if (n <= 0)
        return;
    std::string buf(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(buf.data(), buf.size(), spec.c_str(), value);
    buf.resize(static_cast<size_t>(n));
    out += buf;
}

} // namespace

ViStatus formatWrite(const char *fmt, va_list *args, std::string &out) {
    if (!fmt)
        return VI_ERROR_INV_FMT;
    for (const char *p = fmt; *p;) {
        if (*p != '%') {
            out += *p++;
            continue;
        }
        ++p;
        if (*p == '%') {
            out += *p++;
            continue;
        }
        Spec s;
        if (!parseSpec(p, s, false))
            return VI_ERROR_INV_FMT;
        std::string spec = "%";
        spec += s.flags;
        if (s.hash)
            spec += '#';
        if (s.widthArg)
            spec += std::to_string(va_arg(*args, int));
        else if (s.width >= 0)
            spec += std::to_string(s.width);
        if (s.precisionArg || s.precision >= 0) {
            spec += '.';
            spec += std::to_string(s.precisionArg ? va_arg(*args, int) : s.precision);
        }
        switch (s.conv) {
        case 'd':
        case 'i':
            if (s.length == "l")
                appendFormatted(out, spec + "ld", va_arg(*args, long));
            else if (s.length == "ll")
                appendFormatted(out, spec + "lld", va_arg(*args, long long));
            else if (s.length == "z")
                appendFormatted(out, spec + "zd", va_arg(*args, std::ptrdiff_t));
            else
                appendFormatted(out, spec + (s.length + "d"), va_arg(*args, int));
            break;
        case 'u':
        case 'o':
        case 'x':
        case 'X': {
            const std::string c(1, s.conv);
            if (s.length == "l")
                appendFormatted(out, spec + "l" + c, va_arg(*args, unsigned long));
            else if (s.length == "ll")
                appendFormatted(out, spec + "ll" + c, va_arg(*args, unsigned long long));
            else if (s.length == "z")
                appendFormatted(out, spec + "z" + c, va_arg(*args, size_t));
            else
                appendFormatted(out, spec + s.length + c, va_arg(*args, unsigned));
            break;
        }
        case 'f':
        case 'e':
        case 'E':
        case 'g':
        case 'G':
            appendFormatted(out, spec + s.conv, va_arg(*args, double));
            break;
        case 'c':
            appendFormatted(out, spec + "c", va_arg(*args, int));
            break;
        case 's': {
            const char *text = va_arg(*args, const char *);
            appendFormatted(out, spec + "s", text ? text : "");
            break;
        }
        default:
            return VI_ERROR_NSUP_FMT;
        }
    }
    return VI_SUCCESS;
}

namespace {

// Copies text into a caller's buffer of `size` bytes (NUL included) and returns
// the number of characters stored.
size_t storeText(char *buf, size_t size, std::string_view text, bool terminate = true) {
    if (!buf || size == 0)
        return 0;
    size_t n = std::min(text.size(), terminate ? size - 1 : size);
    std::memcpy(buf, text.data(), n);
    if (terminate)
        buf[n] = '\0';
    return n;
}

template <class T> void storeNumber(va_list *args, const Spec &s, T value) {
    if (s.suppress)
        return;
    if (s.length == "hh")
        *va_arg(*args, signed char *) = static_cast<signed char>(value);
    else if (s.length == "h")
        *va_arg(*args, short *) = static_cast<short>(value);
    else if (s.length == "l")
        *va_arg(*args, long *) = static_cast<long>(value);
    else if (s.length == "ll")
        *va_arg(*args, long long *) = static_cast<long long>(value);
    else
        *va_arg(*args, int *) = static_cast<int>(value);
}

} // namespace

ViStatus scanRead(const char *fmt, std::string_view in, va_list *args) {
    if (!fmt)
        return VI_ERROR_INV_FMT;
    size_t pos = 0;
    auto skipSpace = [&] {
        while (pos < in.size() && std::isspace(static_cast<unsigned char>(in[pos])))
            ++pos;
    };
    for (const char *p = fmt; *p;) {
        if (std::isspace(static_cast<unsigned char>(*p))) {
            skipSpace();
            ++p;
            continue;
        }
        if (*p != '%' || p[1] == '%') {
            const char want = *p;
            p += (*p == '%') ? 2 : 1;
            if (pos < in.size() && in[pos] == want) {
                ++pos;
                continue;
            }
            return VI_SUCCESS; // input does not match: the rest stays unassigned
        }
        ++p;
        Spec s;
        if (!parseSpec(p, s, true))
            return VI_ERROR_INV_FMT;

        switch (s.conv) {
        case 't':
        case 'T':
        case 's':
        case 'c': {
            // The field: %t to the end of the message, %T to the line feed (both
            // included), %s one word, %c a given number of characters (1).
            if (s.conv == 's')
                skipSpace();
            size_t end = in.size();
            if (s.conv == 'T') {
                size_t lf = in.find('\n', pos);
                end = lf == std::string_view::npos ? in.size() : lf + 1;
            } else if (s.conv == 's') {
                end = pos;
                while (end < in.size() && !std::isspace(static_cast<unsigned char>(in[end])))
                    ++end;
            } else if (s.conv == 'c') {
                end = std::min(in.size(), pos + static_cast<size_t>(s.width > 0 ? s.width : 1));
            }
            if (s.conv == 's' && s.width > 0)
                end = std::min(end, pos + static_cast<size_t>(s.width));
            std::string_view field = in.substr(pos, end - pos);
            pos = end;
            if (s.suppress)
                break;
            if (s.hash) {
                // The buffer size comes first, as a pointer; on return it holds the count.
                ViInt32 *size = va_arg(*args, ViInt32 *);
                char *buf = va_arg(*args, char *);
                size_t cap = size && *size > 0 ? static_cast<size_t>(*size) : 0;
                size_t n = storeText(buf, cap, field, s.conv != 'c');
                if (size)
                    *size = static_cast<ViInt32>(n);
            } else if (s.conv == 'c') {
                storeText(va_arg(*args, char *), field.size(), field, false);
            } else {
                size_t cap = s.width > 0 ? static_cast<size_t>(s.width) + 1 : kDefaultTextBuffer;
                storeText(va_arg(*args, char *), cap, field);
            }
            break;
        }
        case 'd':
        case 'i':
        case 'u':
        case 'x':
        case 'X':
        case 'o': {
            skipSpace();
            std::string text(in.substr(pos, s.width > 0 ? static_cast<size_t>(s.width) : in.npos));
            int base = s.conv == 'd' || s.conv == 'u' ? 10
                       : s.conv == 'i'                ? 0
                       : s.conv == 'o'                ? 8
                                                      : 16;
            char *endp = nullptr;
            long long v = std::strtoll(text.c_str(), &endp, base);
            if (endp == text.c_str())
                return VI_SUCCESS; // no number: stop here
            pos += static_cast<size_t>(endp - text.c_str());
            storeNumber(args, s, v);
            break;
        }
        case 'f':
        case 'e':
        case 'E':
        case 'g':
        case 'G': {
            skipSpace();
            std::string text(in.substr(pos, s.width > 0 ? static_cast<size_t>(s.width) : in.npos));
            char *endp = nullptr;
            double v = 0.0;
            {
                CNumbers numbers;
                v = std::strtod(text.c_str(), &endp);
            }
            if (endp == text.c_str())
                return VI_SUCCESS;
            pos += static_cast<size_t>(endp - text.c_str());
            if (s.suppress)
                break;
            if (s.length == "l")
                *va_arg(*args, double *) = v;
            else
                *va_arg(*args, float *) = static_cast<float>(v);
            break;
        }
        default:
            return VI_ERROR_NSUP_FMT;
        }
    }
    return VI_SUCCESS;
}

} // namespace ortav::simvisa
