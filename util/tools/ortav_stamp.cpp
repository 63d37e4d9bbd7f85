// ortav_stamp FILE: writes the file's CRC into its embedded marker, then
// checks it. ortav_stamp --check FILE: only checks.
// Exit status 0 when the file checks intact afterwards.
#include <cstdio>
#include <cstring>

#include "kelmor_crc32.h"

int main(int argc, char **argv) {
    const bool checkOnly = argc == 3 && std::strcmp(argv[1], "--check") == 0;
    if (argc != 2 && !checkOnly) {
        std::fprintf(stderr, "usage: %s [--check] FILE\n", argv[0]);
        return 2;
    }
    const char *path = argv[argc - 1];
    if (!checkOnly && SetupFileInternalCRC32(path) != 0) {
        std::fprintf(stderr, "%s: cannot stamp %s (unreadable, unwritable or no marker)\n", argv[0],
                     path);
        return 1;
    }
    uint32_t stored = 0;
    uint32_t computed = 0;
    uint32_t whole = 0;
    const int result = CheckFileInternalCRC32(path, &stored, &computed, &whole);
    if (result != 0) {
        std::fprintf(stderr,
                     "%s: %s does not check intact (result %d, stored %08X, computed %08X)\n",
                     argv[0], path, result, stored, computed);
        return 1;
    }
    std::printf("%s: CRC32=%08X\n", path, whole);
    return 0;
}
