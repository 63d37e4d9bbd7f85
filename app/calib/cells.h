// Reading numbers out of table cells the operator may have typed into.
#pragma once

#include <string>

namespace ortav::calib {

// The cell's number when its text is a finite number; false otherwise (empty,
// text, NaN, infinity). The text is returned for messages.
bool readCell(int panel, int table, int column, int row, double *value,
              std::string *text = nullptr);

} // namespace ortav::calib
