#include "expression.h"

#include <cctype>
#include <cstring>

namespace ortav::simvisa {

std::optional<Expression> Expression::compile(std::string_view expr) {
    // Translated into an ECMAScript pattern; std::regex then rejects what is malformed
    // ("*" with nothing before it, unbalanced groups).
    std::string pattern;
    for (size_t i = 0; i < expr.size(); ++i) {
        const char c = expr[i];
        switch (c) {
        case '?':
            pattern += '.';
            break;
        case '*':
        case '+':
        case '|':
        case '(':
        case ')':
            pattern += c;
            break;
        case '\\':
            if (++i == expr.size())
                return std::nullopt;
            if (std::isalnum(static_cast<unsigned char>(expr[i])))
                pattern += expr[i];
            else
                pattern += std::string("\\") + expr[i];
            break;
        case '[': {
            size_t close = expr.find(']', i + 1);
            // A ']' right after '[' or '[^' belongs to the list.
            size_t first = i + 1 + (i + 1 < expr.size() && expr[i + 1] == '^' ? 1 : 0);
            if (close == first)
                close = expr.find(']', close + 1);
            if (close == std::string_view::npos)
                return std::nullopt;
            pattern += '[';
            for (size_t j = i + 1; j < close; ++j) {
                const char d = expr[j];
                if (d == '\\' || d == '[' || (d == ']'))
                    pattern += '\\';
                pattern += d;
            }
            pattern += ']';
            i = close;
            break;
        }
        case '{':
            return std::nullopt; // attribute expressions
        default:
            if (std::strchr(".^$]}\\/", c))
                pattern += '\\';
            pattern += c;
        }
    }
    try {
        return Expression(std::regex(pattern, std::regex::ECMAScript | std::regex::icase));
    } catch (const std::regex_error &) {
        return std::nullopt;
    }
}

bool Expression::matches(std::string_view name) const {
    return std::regex_match(name.begin(), name.end(), re_);
}

} // namespace ortav::simvisa
