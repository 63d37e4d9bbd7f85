// Texts that tools read from this library's file rather than through its API.
//
// Integrity: the marker (16 bytes, code page 1251) is followed by eight
// hexadecimal digits, the CRC-32 of the whole file computed with those digits
// as "00000000". The build stamps them after linking, and again after
// installing (util/tools/ortav_stamp.cpp); the program recomputes the CRC at
// start-up to prove the file is the one released.
//
// Version: a Linux shared library has no version resource, so the version
// stands in the file as "FileVersion=" followed by the project version from
// CMake (major.minor.patch) and a NUL. The first such text in the file is the
// file's version; a file without one has none.
//
// Both are referenced by nothing in the code, hence "used".
#ifndef ORTAV_MATH_VERSION
#error "ORTAV_MATH_VERSION must be defined by the build"
#endif

namespace {

[[gnu::used]] const char integrityMarker[] = "\xC2\xF1\xF2\xF0\xEE\xE5\xED\xED\xFB\xE9"
                                             "CRC32="
                                             "00000000";

[[gnu::used]] const char versionText[] = "FileVersion=" ORTAV_MATH_VERSION;

} // namespace
