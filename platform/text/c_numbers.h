// Numbers written and read with a decimal point whatever the process's locale:
// the UI run time adopts the user's, which may use a comma, and a protocol
// line or an instrument command must not. Formatting and parsing run inside
// one of these (it switches the calling thread only).
#pragma once

#include <locale.h>

namespace ortav::text {

class CNumbers {
public:
    CNumbers() : previous_(c() != locale_t(0) ? uselocale(c()) : locale_t(0)) {}
    ~CNumbers() {
        if (previous_ != locale_t(0))
            uselocale(previous_);
    }
    CNumbers(const CNumbers &) = delete;
    CNumbers &operator=(const CNumbers &) = delete;

private:
    static locale_t c() {
        static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t(0));
        return locale;
    }
    locale_t previous_;
};

} // namespace ortav::text
