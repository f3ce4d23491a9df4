#include "engine/PackFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "engine/ZipUnpacker.h"

#ifdef _WIN32
#define PACK_GETC _getc_nolock
#define PACK_FSEEK _fseeki64
#define PACK_FTELL _ftelli64
#else
#define PACK_GETC getc_unlocked
#define PACK_FSEEK fseeko
#define PACK_FTELL ftello
#endif

namespace pack {

LocalTime DosTimeToLocal(uint32_t dosDateTime) { return DosDateTimeToLocal(dosDateTime); }
}  // namespace pack

namespace {

// Records are moved in blocks of this size through the two streams (each
// with its 1024-byte buffer); the C library passes a block larger than a
// stream's buffer straight through, so a record costs one system call per
// block rather than per kilobyte. The bytes written are those of a
// byte-by-byte copy.
constexpr size_t kCopyBlock = 64 * 1024;

uint32_t Le32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

// ------------------------------------------------------------------ reader

bool CPackReader::Open(const char* path, char* buffer, size_t bufferSize) {
    Close();
    FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    if (buffer && bufferSize) std::setvbuf(f, buffer, _IOFBF, bufferSize);
    return Attach(f);
}

bool CPackReader::Attach(FILE* stream) {
    Close();
    if (!stream) return false;
    file_ = stream;
    size_ = 0;
    if (PACK_FSEEK(file_, 0, SEEK_END) == 0) {
        auto end = PACK_FTELL(file_);
        if (end > 0) size_ = static_cast<uint64_t>(end);
    }
    PACK_FSEEK(file_, 0, SEEK_SET);
    recordStart_ = pack::kHeaderSize;
    headerShort_ = false;
    return true;
}

void CPackReader::Close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

bool CPackReader::Seek(uint64_t pos) { return PACK_FSEEK(file_, static_cast<int64_t>(pos), SEEK_SET) == 0; }

uint64_t CPackReader::Tell() {
    auto p = PACK_FTELL(file_);
    return p < 0 ? 0 : static_cast<uint64_t>(p);
}

int CPackReader::ReadHeader() {
    if (!file_) return 0;
    unsigned char h[pack::kHeaderSize];
    if (std::fread(h, 1, sizeof h, file_) != sizeof h) {
        headerShort_ = true;
        return 0;
    }
    recordStart_ = pack::kHeaderSize;
    return static_cast<int16_t>(static_cast<uint16_t>(h[2] | h[3] << 8));
}

CPackReader::Status CPackReader::ReadRecordHeader(PackRecordInfo& info) {
    std::memset(info.name, 0, sizeof info.name);
    info.length = info.dosTime = 0;
    if (!file_) return end;
    if (headerShort_) return truncated;
    recordStart_ = Tell();
    int c = PACK_GETC(file_);
    if (c == EOF) return end;
    unsigned n = 0;
    for (;;) {
        info.name[n++] = static_cast<char>(c);
        if (c == 0) break;
        if (n == pack::kNameBufferSize) {
            info.name[pack::kMaxNameLength] = 0;  // shown in a message: keep it a string
            return nameTooLong;
        }
        c = PACK_GETC(file_);
        if (c == EOF) return truncated;
    }
    unsigned char fixed[8];
    if (std::fread(fixed, 1, sizeof fixed, file_) != sizeof fixed) return truncated;
    info.length = Le32(fixed);
    info.dosTime = Le32(fixed + 4);
    const uint64_t pos = Tell();
    if (pos > size_ || info.length > size_ - pos) return truncated;
    return record;
}

bool CPackReader::CopyData(FILE* out, uint32_t length, bool* outputFailed) {
    if (outputFailed) *outputFailed = false;
    if (!file_) return false;
    if (block_.empty()) block_.resize(kCopyBlock);
    char* const block = block_.data();
    while (length > 0) {
        const size_t want = std::min<size_t>(length, kCopyBlock);
        const size_t got = std::fread(block, 1, want, file_);
        if (got && std::fwrite(block, 1, got, out) != got) {
            if (outputFailed) *outputFailed = true;
            return false;
        }
        if (got != want) return false;
        length -= static_cast<uint32_t>(got);
    }
    return true;
}

bool CPackReader::SkipData(uint32_t length) {
    if (!file_) return false;
    const uint64_t target = Tell() + length;
    if (target > size_) return false;
    return Seek(target);
}

bool CPackReader::RewindRecord() { return file_ && Seek(recordStart_); }
