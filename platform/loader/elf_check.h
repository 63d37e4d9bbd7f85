// A look at a shared library's file before the dynamic loader maps it. The
// loader maps segments as the headers describe them; a segment that runs past
// the end of a truncated file faults (SIGBUS) when touched, inside dlopen.
#pragma once

#include <string>

namespace ortav::loader {

// Why the file must not be handed to the dynamic loader, or empty when it is a
// regular file of this machine's ELF class whose headers, and the segments and
// sections they describe, lie within it. Never blocks (a FIFO is refused).
std::string elfProblem(const std::string &path);

} // namespace ortav::loader
