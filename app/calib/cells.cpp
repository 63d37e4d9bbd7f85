#include "cells.h"

#include "protocol_text.h"
#include "userint.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace ortav::calib {

bool readCell(int panel, int table, int column, int row, double *value, std::string *text) {
    std::string shown;
    GetTableCellVal(panel, table, MakePoint(column, row), shown);
    if (text != nullptr)
        *text = shown;
    // The text decides whether the operator left a number there; the value
    // itself comes from the cell, which keeps more digits than it shows.
    std::string t;
    for (char c : shown)
        if (c != ' ' && c != '\t')
            t += c == ',' ? '.' : c;
    if (t.empty())
        return false;
    errno = 0;
    char *end = nullptr;
    double typed = 0.0;
    {
        CNumbers numbers; // the cells show a decimal point, as the UI writes them
        typed = std::strtod(t.c_str(), &end);
    }
    if (end != t.c_str() + t.size() || errno == ERANGE || !std::isfinite(typed))
        return false;
    double v = 0.0;
    if (GetTableCellVal(panel, table, MakePoint(column, row), &v) < 0 || !std::isfinite(v))
        return false;
    *value = v;
    return true;
}

} // namespace ortav::calib
