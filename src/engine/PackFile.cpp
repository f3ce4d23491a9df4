#include "engine/PackFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "app/Paths.h"
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

uint32_t LocalToDosTime(const LocalTime& t) {
    const int year = std::clamp(t.year, 1980, 2107);
    const uint32_t date = static_cast<uint32_t>(((year - 1980) << 9) | ((t.month & 15) << 5) | (t.day & 31));
    const uint32_t time = static_cast<uint32_t>(((t.hour & 31) << 11) | ((t.minute & 63) << 5) | ((t.second / 2) & 31));
    return date << 16 | time;
}

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

void PutLe32(unsigned char* p, uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}

}  // namespace

// ------------------------------------------------------------------ reader

bool PackReader::Open(const char* path, char* buffer, size_t bufferSize) {
    Close();
    FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    if (buffer && bufferSize) std::setvbuf(f, buffer, _IOFBF, bufferSize);
    return Attach(f);
}

bool PackReader::Attach(FILE* stream) {
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

void PackReader::Close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

bool PackReader::Seek(uint64_t pos) { return PACK_FSEEK(file_, static_cast<int64_t>(pos), SEEK_SET) == 0; }

uint64_t PackReader::Tell() {
    auto p = PACK_FTELL(file_);
    return p < 0 ? 0 : static_cast<uint64_t>(p);
}

int PackReader::ReadHeader() {
    if (!file_) return 0;
    unsigned char h[pack::kHeaderSize];
    if (std::fread(h, 1, sizeof h, file_) != sizeof h) {
        headerShort_ = true;
        return 0;
    }
    recordStart_ = pack::kHeaderSize;
    return static_cast<int16_t>(static_cast<uint16_t>(h[2] | h[3] << 8));
}

PackReader::Status PackReader::ReadRecordHeader(PackRecordInfo& info) {
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

bool PackReader::CopyData(FILE* out, uint32_t length, bool* outputFailed) {
    if (outputFailed) *outputFailed = false;
    if (!file_) return false;
    static thread_local std::vector<char> blockStorage(kCopyBlock);
    char* const block = blockStorage.data();
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

bool PackReader::SkipData(uint32_t length) {
    if (!file_) return false;
    const uint64_t target = Tell() + length;
    if (target > size_) return false;
    return Seek(target);
}

bool PackReader::RewindRecord() { return file_ && Seek(recordStart_); }

// ------------------------------------------------------------------ writer

PackWriter::PackWriter(const std::string& path) : path_(path), buffer_(64 * 1024) {
    file_.Open(path.c_str(), CFile::modeWrite | CFile::modeCreate);
    const unsigned char header[pack::kHeaderSize] = {0, 0, 0, 0};
    Put(header, sizeof header);
}

PackWriter::~PackWriter() {
    if (!finished_) {
        file_.Abort();
        std::remove(path_.c_str());
    }
}

std::string PackWriter::CheckedName(const std::string& name) {
    std::string stored = name;
    std::replace(stored.begin(), stored.end(), '/', '\\');
    if (stored.empty()) throw CPackException("empty file name");
    if (stored.size() > pack::kMaxNameLength)
        throw CPackException("file name longer than 79 bytes: " + stored);
    if (stored.find('\0') != std::string::npos) throw CPackException("file name holds a zero byte");
    if (!IsSafeRelativeName(stored) || stored.back() == '\\')
        throw CPackException("file name leads out of the destination folder: " + stored);
    return stored;
}

void PackWriter::Put(const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        if (used_ == buffer_.size()) Flush();
        const size_t n = std::min(size, buffer_.size() - used_);
        std::memcpy(buffer_.data() + used_, p, n);
        used_ += n;
        p += n;
        size -= n;
    }
}

void PackWriter::Flush() {
    if (used_) file_.Write(buffer_.data(), static_cast<unsigned>(used_));
    used_ = 0;
}

void PackWriter::BeginRecord(const std::string& storedName, uint32_t size, uint32_t dosTime) {
    if (finished_) throw CPackException("pack already finished: " + path_);
    if (count_ >= pack::kMaxRecords) throw CPackException("more than 32767 files in one pack: " + path_);
    const std::string name = CheckedName(storedName);
    Put(name.c_str(), name.size() + 1);
    unsigned char fixed[8];
    PutLe32(fixed, size);
    PutLe32(fixed + 4, dosTime);
    Put(fixed, sizeof fixed);
    ++count_;
}

void PackWriter::AddData(const std::string& storedName, const void* data, uint32_t size, uint32_t dosTime) {
    BeginRecord(storedName, size, dosTime);
    Put(data, size);
}

void PackWriter::AddFile(const std::string& storedName, const std::string& sourcePath, uint32_t dosTime) {
    CFile in(sourcePath.c_str(), CFile::modeRead);
    const uint64_t length = in.GetLength();
    if (length > 0xFFFFFFFFull) throw CPackException("file of 4 GiB or more: " + sourcePath);
    BeginRecord(storedName, static_cast<uint32_t>(length), dosTime);
    uint64_t left = length;
    while (left > 0) {
        if (used_ == buffer_.size()) Flush();
        const unsigned want = static_cast<unsigned>(std::min<uint64_t>(left, buffer_.size() - used_));
        const unsigned got = in.Read(buffer_.data() + used_, want);
        if (got == 0) throw CPackException("file became shorter while it was packed: " + sourcePath);
        used_ += got;
        left -= got;
    }
}

void PackWriter::Finish() {
    if (finished_) return;
    Flush();
    unsigned char count[2] = {static_cast<unsigned char>(count_), static_cast<unsigned char>(count_ >> 8)};
    file_.Seek(2, CFile::begin);
    file_.Write(count, sizeof count);
    file_.Close();
    finished_ = true;
}

// ------------------------------------------------------------------ folders

std::vector<std::string> PackDirectory(const std::string& packPath, const std::string& dir,
                                       std::vector<std::string>* folders) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path root(dir);
    if (!fs::is_directory(root, ec)) throw CPackException("not a folder: " + dir);
    struct Entry {
        std::string stored;
        std::string source;
    };
    std::vector<Entry> files;
    std::vector<std::string> dirs;
    for (fs::recursive_directory_iterator it(root, ec), endIt; it != endIt; it.increment(ec)) {
        if (ec) throw CPackException("cannot read folder " + dir + ": " + ec.message());
        const fs::path rel = it->path().lexically_relative(root);
        std::string stored = rel.generic_string();
        std::replace(stored.begin(), stored.end(), '/', '\\');
        if (it->is_directory(ec)) {
            dirs.push_back(stored);
        } else if (it->is_regular_file(ec)) {
            files.push_back({stored, it->path().string()});
        }
    }
    if (ec) throw CPackException("cannot read folder " + dir + ": " + ec.message());
    std::sort(files.begin(), files.end(), [](const Entry& a, const Entry& b) { return a.stored < b.stored; });
    std::sort(dirs.begin(), dirs.end());
    // The pack itself may lie inside the folder: never pack it into itself.
    fs::path packAbs = fs::weakly_canonical(fs::path(packPath), ec);

    PackWriter writer(packPath);
    std::vector<std::string> names;
    for (const Entry& e : files) {
        std::error_code ec2;
        if (!packAbs.empty() && fs::equivalent(fs::path(e.source), packAbs, ec2)) continue;
        LocalTime t;
        if (!CFile::GetModifiedTime(e.source, t)) throw CPackException("cannot read the time of " + e.source);
        writer.AddFile(e.stored, e.source, pack::LocalToDosTime(t));
        names.push_back(PackWriter::CheckedName(e.stored));
    }
    writer.Finish();
    if (folders) *folders = dirs;
    return names;
}
