// The regular expressions of viFindRsrc: '?' any one character, '*' and '+' zero
// or more / one or more of what precedes, [list] and [^list] with ranges, '\'
// escape, '|' alternatives and (groups); matched against the whole resource name
// without regard to case. Attribute expressions ("{...}") are not supported.
#pragma once

#include <optional>
#include <regex>
#include <string>
#include <string_view>

namespace ortav::simvisa {

class Expression {
public:
    // Nothing when the expression is malformed or uses what is not supported.
    static std::optional<Expression> compile(std::string_view expr);
    bool matches(std::string_view name) const;

private:
    explicit Expression(std::regex re) : re_(std::move(re)) {}
    std::regex re_;
};

} // namespace ortav::simvisa
