// libFuzzer target: the embedded-CRC parsing, stamping and version scan over
// arbitrary file images. Each input is copied into a buffer of exactly its
// size, so any read past the image is caught by AddressSanitizer.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "file_image.h"
#include "kelmor_crc32.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    auto image = std::make_unique<std::uint8_t[]>(size);

    std::memcpy(image.get(), data, size);
    std::uint32_t stored = 0, computed = 0;
    const int result = kelmor::checkImage(image.get(), size, &stored, &computed);
    const std::ptrdiff_t marker = kelmor::findMarker(data, size);
    if ((result == -1) != (marker < 0)) {
        std::abort(); // -1 exactly when there is no marker
    }
    if (result >= 0 && (result == 0) != (stored == computed)) {
        std::abort();
    }

    if (marker >= 0) {
        // Stamping stays within the image, and a stamp with room for its eight
        // digits and NUL always checks intact.
        std::memcpy(image.get(), data, size);
        const std::size_t length =
            kelmor::stampImage(image.get(), size, static_cast<std::size_t>(marker));
        if (length > size) {
            std::abort();
        }
        if (static_cast<std::size_t>(marker) + KELMOR_CRC_MARKER_LENGTH + 9 <= size &&
            kelmor::checkImage(image.get(), size, &stored, &computed) != 0) {
            std::abort();
        }
    }

    char version[KELMOR_VERSION_SIZE];
    if (kelmor::findVersion(data, size, version, sizeof version) &&
        std::strlen(version) >= sizeof version) {
        std::abort();
    }
    return 0;
}
