// What p_ortav --version says: the program's version, ortav_math's version and
// integrity as the start-up checks it, and the VISA library in use.
#pragma once

#include <string>

// visa: the --visa choice ("" for the default); bench: the --bench file, if any.
std::string versionReport(const std::string &visa, const std::string &bench);
