// The pack writer and the folder packer of the vendor tool.
#include <algorithm>
#include <cstring>
#include <filesystem>

#include "config/Paths.h"
#include "setupkit/lib/PackWriter.h"

namespace pack {

uint32_t LocalToDosTime(const LocalTime& t) {
    const int year = std::clamp(t.year, 1980, 2107);
    const uint32_t date = static_cast<uint32_t>(((year - 1980) << 9) | ((t.month & 15) << 5) | (t.day & 31));
    const uint32_t time = static_cast<uint32_t>(((t.hour & 31) << 11) | ((t.minute & 63) << 5) | ((t.second / 2) & 31));
    return date << 16 | time;
}

std::string EncodeHeader(int count) {
    return std::string{0, 0, static_cast<char>(count & 0xFF), static_cast<char>((count >> 8) & 0xFF)};
}

std::string EncodeRecordHeader(const std::string& storedName, uint32_t length, uint32_t dosTime) {
    std::string s = storedName;
    s += '\0';
    for (uint32_t v : {length, dosTime})
        for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

}  // namespace pack

// ------------------------------------------------------------------ writer

CPackWriter::CPackWriter(const std::string& path) : path_(path), buffer_(64 * 1024) {
    file_.Open(path.c_str(), CFile::modeWrite | CFile::modeCreate);
    const std::string header = pack::EncodeHeader(0);
    Put(header.data(), header.size());
}

CPackWriter::~CPackWriter() {
    if (!finished_) {
        file_.Abort();
        std::remove(path_.c_str());
    }
}

std::string CPackWriter::CheckedName(const std::string& name) {
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

void CPackWriter::Put(const void* data, size_t size) {
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

void CPackWriter::Flush() {
    if (used_) file_.Write(buffer_.data(), static_cast<unsigned>(used_));
    used_ = 0;
}

void CPackWriter::BeginRecord(const std::string& storedName, uint32_t size, uint32_t dosTime) {
    if (finished_) throw CPackException("pack already finished: " + path_);
    if (count_ >= pack::kMaxRecords) throw CPackException("more than 32767 files in one pack: " + path_);
    const std::string fixed = pack::EncodeRecordHeader(CheckedName(storedName), size, dosTime);
    Put(fixed.data(), fixed.size());
    ++count_;
}

void CPackWriter::AddData(const std::string& storedName, const void* data, uint32_t size, uint32_t dosTime) {
    BeginRecord(storedName, size, dosTime);
    Put(data, size);
}

void CPackWriter::AddFile(const std::string& storedName, const std::string& sourcePath, uint32_t dosTime) {
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

void CPackWriter::Finish() {
    if (finished_) return;
    Flush();
    const std::string header = pack::EncodeHeader(count_);
    file_.Seek(0, CFile::begin);
    file_.Write(header.data(), static_cast<unsigned>(header.size()));
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

    CPackWriter writer(packPath);
    std::vector<std::string> names;
    for (const Entry& e : files) {
        std::error_code ec2;
        if (!packAbs.empty() && fs::equivalent(fs::path(e.source), packAbs, ec2)) continue;
        LocalTime t;
        if (!CFile::GetModifiedTime(e.source, t)) throw CPackException("cannot read the time of " + e.source);
        writer.AddFile(e.stored, e.source, pack::LocalToDosTime(t));
        names.push_back(CPackWriter::CheckedName(e.stored));
    }
    writer.Finish();
    if (folders) *folders = dirs;
    return names;
}
