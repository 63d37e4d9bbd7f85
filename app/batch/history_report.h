// p_ortav --history and --due: the results database read without a window.
//
//   --history                              every run recorded, oldest first
//   --history --asset A                    the runs of one module, by asset number
//   --history --resource R --position N    ... by carrier and position on this station
//   --due                                  modules due for calibration within 30 days
//   --json                                 the same as JSON
//
// Exit status: 0 printed; 2 a usage error (also a named database file that is
// not there); 3 the database cannot be read.
#pragma once

#include "batch_options.h"

#include <cstdio>

namespace ortav::batch {

int printHistory(const Options &options, std::FILE *out = stdout, std::FILE *err = stderr);

} // namespace ortav::batch
