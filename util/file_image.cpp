#include "file_image.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

#include "kelmor_crc32.h"

namespace kelmor {

namespace {

constexpr std::size_t kSlack = 8; // zeroed bytes after the data

bool isBlank(std::uint8_t c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int hexValue(std::uint8_t c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

struct Fd {
    int fd;
    ~Fd() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

} // namespace

ReadResult readFileImage(const char *path, FileImage &image) {
    image = FileImage{};
    if (path == nullptr) {
        return ReadResult::cannotOpen;
    }
    // Non-blocking so that a FIFO named by mistake does not hang the open.
    Fd file{::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    if (file.fd < 0) {
        return ReadResult::cannotOpen;
    }
    struct stat st {};
    if (::fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        return ReadResult::cannotOpen;
    }
    if (st.st_size == 0) {
        return ReadResult::empty;
    }
    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (size > kMaxImageSize) {
        return ReadResult::noMemory;
    }
    std::unique_ptr<std::uint8_t[]> bytes(new (std::nothrow) std::uint8_t[size + kSlack]());
    if (!bytes) {
        return ReadResult::noMemory;
    }
    std::size_t count = 0;
    while (count < size) {
        const ssize_t n = ::read(file.fd, bytes.get() + count, size - count);
        if (n <= 0) {
            break; // end of file or error: keep what was read
        }
        count += static_cast<std::size_t>(n);
    }
    if (count == 0) {
        return ReadResult::empty;
    }
    image.bytes = std::move(bytes);
    image.count = count;
    return ReadResult::ok;
}

std::uint32_t crc32(const std::uint8_t *data, std::size_t length) {
    std::uint32_t table[256];
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1u) != 0 ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        }
        table[n] = c;
    }
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < length; ++i) {
        c = table[(c ^ data[i]) & 0xFFu] ^ (c >> 8);
    }
    return c ^ 0xFFFFFFFFu;
}

std::ptrdiff_t findMarker(const std::uint8_t *image, std::size_t count) {
    const auto *marker = reinterpret_cast<const std::uint8_t *>(KELMOR_CRC_MARKER);
    const std::uint8_t *end = image + count;
    const std::uint8_t *at = std::search(image, end, marker, marker + KELMOR_CRC_MARKER_LENGTH);
    return at == end ? -1 : at - image;
}

int checkImage(std::uint8_t *image, std::size_t count, std::uint32_t *stored,
               std::uint32_t *computed) {
    *stored = 0;
    int result = -1;
    const std::ptrdiff_t marker = findMarker(image, count);
    if (marker >= 0) {
        // Blanks, an optional "0x", then hex digits: what "%x" would read.
        const std::size_t start = static_cast<std::size_t>(marker) + KELMOR_CRC_MARKER_LENGTH;
        std::size_t i = start;
        while (i < count && isBlank(image[i])) {
            ++i;
        }
        if (i + 2 < count && image[i] == '0' && (image[i + 1] == 'x' || image[i + 1] == 'X') &&
            hexValue(image[i + 2]) >= 0) {
            i += 2;
        }
        std::uint32_t value = 0;
        std::size_t digits = 0;
        for (; i < count && hexValue(image[i]) >= 0; ++i, ++digits) {
            value = (value << 4) | static_cast<std::uint32_t>(hexValue(image[i]));
        }
        if (digits > 0) {
            *stored = value;
            std::memset(image + start, '0', i - start);
        }
        result = 0;
    }
    *computed = crc32(image, count);
    if (result == 0 && *computed != *stored) {
        result = 1;
    }
    return result;
}

std::size_t stampImage(std::uint8_t *image, std::size_t count, std::size_t marker) {
    const std::size_t digits = marker + KELMOR_CRC_MARKER_LENGTH;
    // Eight digits and their NUL, as far as the file reaches.
    char text[9 + 1];
    std::snprintf(text, sizeof text, "%08X", 0u);
    const std::size_t room = digits < count ? std::min<std::size_t>(count - digits, 9) : 0;
    std::memcpy(image + digits, text, room);
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(crc32(image, count)));
    std::memcpy(image + digits, text, std::min<std::size_t>(room, 8));
    // The marker, its digits and a little after them go back; nothing past the end.
    return std::min(digits + 32, count);
}

bool findVersion(const std::uint8_t *image, std::size_t count, char *out, std::size_t size) {
    const auto *prefix = reinterpret_cast<const std::uint8_t *>(KELMOR_VERSION_PREFIX);
    const std::size_t prefixLength = sizeof(KELMOR_VERSION_PREFIX) - 1;
    const std::uint8_t *end = image + count;
    const std::uint8_t *at = std::search(image, end, prefix, prefix + prefixLength);
    if (at == end || size == 0) {
        return false;
    }
    const std::uint8_t *text = at + prefixLength;
    std::size_t n = 0;
    while (text + n < end && text[n] != 0 && n + 1 < size) {
        ++n;
    }
    if (n == 0) {
        return false;
    }
    std::memcpy(out, text, n);
    out[n] = '\0';
    return true;
}

} // namespace kelmor
