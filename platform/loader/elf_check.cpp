#include "elf_check.h"

#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

namespace ortav::loader {

namespace {

#if __SIZEOF_POINTER__ == 8
constexpr unsigned char kClass = ELFCLASS64;
constexpr const char *kClassName = "64-bit";
#else
constexpr unsigned char kClass = ELFCLASS32;
constexpr const char *kClassName = "32-bit";
#endif
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
constexpr unsigned char kData = ELFDATA2LSB;
#else
constexpr unsigned char kData = ELFDATA2MSB;
#endif

struct Fd {
    int fd;
    ~Fd() {
        if (fd >= 0)
            ::close(fd);
    }
};

bool readAt(int fd, void *out, size_t n, uint64_t at) {
    auto *p = static_cast<char *>(out);
    while (n > 0) {
        const ssize_t got = ::pread(fd, p, n, static_cast<off_t>(at));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        p += got;
        at += static_cast<uint64_t>(got);
        n -= static_cast<size_t>(got);
    }
    return true;
}

// offset + count * each <= size, without overflow.
bool within(uint64_t offset, uint64_t count, uint64_t each, uint64_t size) {
    if (offset > size)
        return false;
    return each == 0 || count <= (size - offset) / each;
}

std::string bytes(uint64_t from, uint64_t length) {
    return "bytes " + std::to_string(from) + ".." + std::to_string(from + length);
}

const char *segmentName(uint32_t type) {
    switch (type) {
    case PT_LOAD:
        return "a loadable segment";
    case PT_DYNAMIC:
        return "the dynamic section";
    case PT_INTERP:
        return "the interpreter name";
    case PT_NOTE:
        return "a note segment";
    default:
        return "a segment";
    }
}

} // namespace

std::string elfProblem(const std::string &path) {
    const Fd f{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    if (f.fd < 0)
        return std::string("cannot open it: ") + std::strerror(errno);
    struct stat st {};
    if (::fstat(f.fd, &st) != 0)
        return std::string("cannot open it: ") + std::strerror(errno);
    if (!S_ISREG(st.st_mode))
        return "not a regular file";
    const auto size = static_cast<uint64_t>(st.st_size);
    const std::string ofSize = " (" + std::to_string(size) + " bytes)";
    if (size == 0)
        return "an empty file (0 bytes)";

    ElfW(Ehdr) h{};
    const size_t head = size < sizeof h ? static_cast<size_t>(size) : sizeof h;
    if (!readAt(f.fd, &h, head, 0))
        return std::string("cannot read it: ") + std::strerror(errno);
    if (head < SELFMAG || std::memcmp(h.e_ident, ELFMAG, SELFMAG) != 0)
        return "not an ELF file";
    if (head < EI_NIDENT)
        return "truncated: shorter than its ELF header" + ofSize;
    if (h.e_ident[EI_CLASS] != kClass)
        return std::string("not a ") + kClassName + " ELF file";
    if (h.e_ident[EI_DATA] != kData)
        return "an ELF file of the other byte order";
    if (head < sizeof h)
        return "truncated: shorter than its ELF header" + ofSize;

    if (h.e_phnum == 0)
        return "an ELF file without program headers";
    if (h.e_phentsize != sizeof(ElfW(Phdr)))
        return "an ELF file with program headers of " + std::to_string(h.e_phentsize) + " bytes";
    if (!within(h.e_phoff, h.e_phnum, h.e_phentsize, size))
        return "truncated: its program headers (" +
               bytes(h.e_phoff, uint64_t(h.e_phnum) * h.e_phentsize) +
               ") lie past the end of the file" + ofSize;
    std::vector<ElfW(Phdr)> ph(h.e_phnum);
    if (!readAt(f.fd, ph.data(), ph.size() * sizeof ph[0], h.e_phoff))
        return std::string("cannot read it: ") + std::strerror(errno);
    for (const ElfW(Phdr) & p : ph)
        if (p.p_type != PT_NULL && p.p_filesz > 0 && !within(p.p_offset, 1, p.p_filesz, size))
            return std::string("truncated: ") + segmentName(p.p_type) + " (" +
                   bytes(p.p_offset, p.p_filesz) + ") lies past the end of the file" + ofSize;

    // The loader does not read the section headers, but a file whose table is
    // cut off is not the file that was built.
    if (h.e_shoff == 0 || h.e_shnum == 0)
        return {};
    if (h.e_shentsize != sizeof(ElfW(Shdr)))
        return "an ELF file with section headers of " + std::to_string(h.e_shentsize) + " bytes";
    if (!within(h.e_shoff, h.e_shnum, h.e_shentsize, size))
        return "truncated: its section headers (" +
               bytes(h.e_shoff, uint64_t(h.e_shnum) * h.e_shentsize) +
               ") lie past the end of the file" + ofSize;
    return {};
}

} // namespace ortav::loader
