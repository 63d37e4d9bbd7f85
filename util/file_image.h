// A whole file held in memory, and the embedded-CRC and version conventions
// applied to such an image. The image routines never look past `count`.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace kelmor {

// Largest file read whole: its length must fit the 32-bit CRC length.
constexpr std::size_t kMaxImageSize = 0x7FFFFFFF - 64;

struct FileImage {
    std::unique_ptr<std::uint8_t[]> bytes; // count bytes, then at least 8 NULs
    std::size_t count = 0;
};

enum class ReadResult { ok, cannotOpen, empty, noMemory };

// Reads a regular file whole. The size is taken when opening; the count is
// what was actually read.
ReadResult readFileImage(const char *path, FileImage &image);

// CRC-32 over any length (Crc32 takes an int32 length).
std::uint32_t crc32(const std::uint8_t *data, std::size_t length);

// Offset of the first marker, or -1.
std::ptrdiff_t findMarker(const std::uint8_t *image, std::size_t count);

// The check on an image: parses the digits after the first marker into
// *stored, turns what the parse consumed into '0' (in place), and recomputes.
// Returns 0 intact, 1 mismatch, -1 no marker; *stored and *computed always set.
int checkImage(std::uint8_t *image, std::size_t count, std::uint32_t *stored,
               std::uint32_t *computed);

// Writes the CRC after the marker at `marker` (in place, within count) and
// returns how many leading bytes of the image must go back to the file.
std::size_t stampImage(std::uint8_t *image, std::size_t count, std::size_t marker);

// The version text after the first KELMOR_VERSION_PREFIX, at most size - 1
// characters and a NUL, into out; false when there is none or it is empty.
bool findVersion(const std::uint8_t *image, std::size_t count, char *out, std::size_t size);

} // namespace kelmor
