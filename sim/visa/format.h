// Formatted I/O of viQueryf: the write format (printf-like) and the read format
// (scanf-like, with VISA's %t, %T and the '#' width-from-argument modifier).
// Arguments are taken from one va_list in order, first for the write format,
// then for the read format, as viVQueryf passes them.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

#include "visatype.h"

namespace ortav::simvisa {

// A text conversion with neither a width nor '#' writes at most this many bytes,
// the terminating NUL included: the size of the VISA text buffers callers pass.
constexpr size_t kDefaultTextBuffer = 256;

// VI_SUCCESS, VI_ERROR_INV_FMT (malformed) or VI_ERROR_NSUP_FMT (not supported).
ViStatus formatWrite(const char *fmt, va_list *args, std::string &out);
ViStatus scanRead(const char *fmt, std::string_view in, va_list *args);

} // namespace ortav::simvisa
