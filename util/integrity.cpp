// CRC-32 of data and files, and the embedded-CRC check and stamp.
#include <fcntl.h>
#include <unistd.h>

#include "file_image.h"
#include "kelmor_crc32.h"

uint32_t Crc32(const void *data, int32_t length) {
    if (data == nullptr || length <= 0) {
        return 0;
    }
    return kelmor::crc32(static_cast<const uint8_t *>(data), static_cast<size_t>(length));
}

uint32_t GetFileCRC32(const char *path) {
    kelmor::FileImage image;
    switch (kelmor::readFileImage(path, image)) {
    case kelmor::ReadResult::ok:
        return kelmor::crc32(image.bytes.get(), image.count);
    case kelmor::ReadResult::noMemory:
        return 0xFFFFFFFFu;
    default:
        return 0;
    }
}

int CheckFileInternalCRC32(const char *path, uint32_t *stored, uint32_t *computed,
                           uint32_t *whole) {
    uint32_t storedValue = 0;
    uint32_t computedValue = 0;
    int result = -1;
    kelmor::FileImage image;
    if (kelmor::readFileImage(path, image) == kelmor::ReadResult::ok) {
        if (whole != nullptr) {
            *whole = kelmor::crc32(image.bytes.get(), image.count);
        }
        result = kelmor::checkImage(image.bytes.get(), image.count, &storedValue, &computedValue);
    }
    if (stored != nullptr) {
        *stored = storedValue;
    }
    if (computed != nullptr) {
        *computed = computedValue;
    }
    return result;
}

int SetupFileInternalCRC32(const char *path) {
    kelmor::FileImage image;
    if (kelmor::readFileImage(path, image) != kelmor::ReadResult::ok || image.count < 20) {
        return -1;
    }
    const ptrdiff_t marker = kelmor::findMarker(image.bytes.get(), image.count);
    if (marker < 0) {
        return -1;
    }
    const size_t length =
        kelmor::stampImage(image.bytes.get(), image.count, static_cast<size_t>(marker));

    // In place: no truncation, so the file keeps its length and its tail.
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    size_t written = 0;
    while (written < length) {
        const ssize_t n = ::pwrite(fd, image.bytes.get() + written, length - written,
                                   static_cast<off_t>(written));
        if (n <= 0) {
            break;
        }
        written += static_cast<size_t>(n);
    }
    const bool closed = ::close(fd) == 0;
    return written == length && closed ? 0 : -1;
}
