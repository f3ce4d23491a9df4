// The pack writer and the folder packer: used by the vendor tool only, kept
// apart from the reader so that setup.exe links none of it (nor the file
// system library the folder walk uses).
#include <algorithm>
#include <cstring>
#include <filesystem>

#include "config/Paths.h"
#include "engine/PackFile.h"

namespace {

void PutLe32(unsigned char* p, uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}

}  // namespace

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
