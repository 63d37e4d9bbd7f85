// File integrity, path search and version information (unit KelmorCRC32).
//
// Embedded-CRC convention: somewhere in a file stands the 16-byte marker
// KELMOR_CRC_MARKER (code page 1251), then eight hexadecimal digits and a NUL.
// The digits are the CRC-32 of the whole file computed while they read
// "00000000". Only the first marker counts.
//
// Version convention (Linux has no version resource): the first
// KELMOR_VERSION_PREFIX in a file, followed by the version text and a NUL.
#pragma once

#include <stdint.h>

#define KELMOR_CRC_MARKER                                                                          \
    "\xC2\xF1\xF2\xF0\xEE\xE5\xED\xED\xFB\xE9"                                                     \
    "CRC32="
#define KELMOR_CRC_MARKER_LENGTH 16
#define KELMOR_VERSION_PREFIX "FileVersion="

// Sizes of the output buffers, NUL included.
#define KELMOR_VERSION_SIZE 32
#define KELMOR_DATE_SIZE 16
#define KELMOR_TIME_SIZE 8
#define KELMOR_NAME_SIZE 128
#define KELMOR_FOUND_SIZE 4096

// CRC-32 of IEEE 802.3 (reflected 0xEDB88320, initial and final 0xFFFFFFFF).
// 0 for a length of 0 or below, or null data.
uint32_t Crc32(const void *data, int32_t length);

// CRC-32 of the whole file; 0 when it cannot be opened or is empty (or is not
// a regular file); 0xFFFFFFFF (-1) when memory runs out or the file is too
// large to hold (2 GiB or more).
uint32_t GetFileCRC32(const char *path);

// 0: intact; 1: the stored CRC does not match; -1: the file cannot be read, is
// empty, is too large, or carries no marker. stored and computed are set in
// every case (0 when not reached); whole, when given, gets the CRC of the file
// as it lies on disk. The digits may be preceded by blanks and "0x", in either
// letter case; everything the number took counts as "0" in the recomputation.
int CheckFileInternalCRC32(const char *path, uint32_t *stored, uint32_t *computed, uint32_t *whole);

// Writes the CRC into the file's marker digits, in place, never past the end
// of the file and never changing its length. 0: stamped; -1: the file cannot be
// read or written, is shorter than 20 bytes, or carries no marker.
int SetupFileInternalCRC32(const char *path);

// Any output may be null. version (KELMOR_VERSION_SIZE bytes): the embedded
// version text, "n/a" without one. date (KELMOR_DATE_SIZE): the modification
// day "dd-mm-yyyy"; time (KELMOR_TIME_SIZE): "hh:mm", both in local time and
// empty when the file cannot be found. name (KELMOR_NAME_SIZE): the last path
// component, at most 127 characters. Always returns 0.
int GetFInfo(const char *path, char *version, char *date, char *time, char *name);

// Search of a file along a list of directories: dir (when non-empty), the
// running program's folder, then the entries of LD_LIBRARY_PATH and PATH (an
// empty entry there is the current directory). One trailing "/" or "\" is
// removed from each entry; each is tried once, in order, a directory listed
// twice is tried twice; at most 255 entries. found (KELMOR_FOUND_SIZE bytes)
// gets "<entry>/<file>"; an entry whose full path would not fit is skipped.
typedef struct PathSearch *PathSearchHandle;

// The handle while a match exists (found holds it), else null (found empty).
PathSearchHandle FirstPathFname(const char *dir, const char *file, char *found);
// 1: a further match is in found; 0: the list is exhausted (found empty).
int NextPathFName(PathSearchHandle handle, const char *file, char *found);
// Frees the handle; null is ignored.
void ClosePathFName(PathSearchHandle handle);
