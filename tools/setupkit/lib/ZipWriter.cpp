#include "setupkit/lib/ZipWriter.h"

#include <cstring>
#include <stdexcept>

#include "engine/ZipUnpacker.h"

namespace {

void Put16(std::vector<unsigned char>& b, uint32_t v) {
    b.push_back(static_cast<unsigned char>(v));
    b.push_back(static_cast<unsigned char>(v >> 8));
}
void Put32(std::vector<unsigned char>& b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

uint32_t Check32(uint64_t v, const char* what) {
    if (v > 0xFFFFFFFFull) throw std::length_error(std::string("ZIP archive too large: ") + what + " exceeds 4 GiB");
    return static_cast<uint32_t>(v);
}

// The fields that the local and the central header share, in their order:
// method, time, CRC, both sizes, name length.
template <class Entry>
void PutSharedFields(std::vector<unsigned char>& b, const Entry& e) {
    Put16(b, e.header.method);
    Put32(b, e.header.dosDateTime);
    Put32(b, e.crc);
    Put32(b, e.compressedSize);
    Put32(b, e.uncompressedSize);
    Put16(b, static_cast<uint32_t>(e.header.name.size()));
}

constexpr uint16_t kVersionNeeded = 20;  // deflate
constexpr uint16_t kVersionMadeBy = 20;  // high byte 0: MS-DOS attributes

}  // namespace

CZipWriter::~CZipWriter() { file_.Abort(); }

void CZipWriter::Create(const std::string& path) {
    file_.Open(path.c_str(), CFile::modeWrite | CFile::modeCreate);
    entries_.clear();
    position_ = 0;
    inEntry_ = false;
}

void CZipWriter::WriteLocalHeader(const Entry& e) {
    std::vector<unsigned char> b;
    Put32(b, zipformat::kLocalSignature);
    Put16(b, kVersionNeeded);
    Put16(b, 0);  // flags: sizes and CRC are in this header
    PutSharedFields(b, e);
    Put16(b, 0);
    b.insert(b.end(), e.header.name.begin(), e.header.name.end());
    file_.Write(b.data(), static_cast<unsigned>(b.size()));
}

void CZipWriter::BeginEntry(const ZipEntryHeader& header) {
    if (inEntry_) throw std::logic_error("CZipWriter: entry already open");
    if (header.name.empty() || header.name.size() > 0xFFFF) throw std::length_error("ZIP entry name empty or too long");
    if (header.method != 0 && header.method != 8) throw std::invalid_argument("ZIP method must be 0 or 8");
    Entry e;
    e.header = header;
    e.localOffset = Check32(position_, "entry offset");
    WriteLocalHeader(e);
    position_ += zipformat::kLocalHeaderSize + header.name.size();
    dataStart_ = position_;
    entries_.push_back(std::move(e));
    inEntry_ = true;
}

void CZipWriter::WriteData(const void* data, size_t size) {
    if (!inEntry_) throw std::logic_error("CZipWriter: no entry open");
    const unsigned char* p = static_cast<const unsigned char*>(data);
    while (size > 0) {
        unsigned n = size > (1u << 30) ? (1u << 30) : static_cast<unsigned>(size);
        file_.Write(p, n);
        p += n;
        size -= n;
        position_ += n;
    }
}

void CZipWriter::EndEntry(uint32_t crc32, uint64_t uncompressedSize) {
    if (!inEntry_) throw std::logic_error("CZipWriter: no entry open");
    Entry& e = entries_.back();
    e.crc = crc32;
    e.compressedSize = Check32(position_ - dataStart_, "compressed size");
    e.uncompressedSize = Check32(uncompressedSize, "file size");
    file_.Seek(static_cast<int64_t>(e.localOffset), CFile::begin);
    WriteLocalHeader(e);
    file_.Seek(static_cast<int64_t>(position_), CFile::begin);
    inEntry_ = false;
}

uint64_t CZipWriter::Finish() {
    if (inEntry_) throw std::logic_error("CZipWriter: entry still open");
    std::vector<unsigned char> b;
    const uint32_t dirOffset = Check32(position_, "central directory offset");
    for (const Entry& e : entries_) {
        Put32(b, zipformat::kCentralSignature);
        Put16(b, kVersionMadeBy);
        Put16(b, kVersionNeeded);
        Put16(b, 0);
        PutSharedFields(b, e);
        Put16(b, 0);  // extra
        Put16(b, 0);  // comment
        Put16(b, 0);  // disk number start
        Put16(b, 0);  // internal attributes
        Put32(b, e.header.externalAttributes);
        Put32(b, e.localOffset);
        b.insert(b.end(), e.header.name.begin(), e.header.name.end());
    }
    if (entries_.size() > 0xFFFF) throw std::length_error("too many ZIP entries");
    const uint32_t dirSize = Check32(b.size(), "central directory");
    Put32(b, zipformat::kEndSignature);
    Put16(b, 0);
    Put16(b, 0);
    Put16(b, static_cast<uint32_t>(entries_.size()));
    Put16(b, static_cast<uint32_t>(entries_.size()));
    Put32(b, dirSize);
    Put32(b, dirOffset);
    Put16(b, 0);  // comment length
    file_.Write(b.data(), static_cast<unsigned>(b.size()));
    position_ += b.size();
    Check32(position_, "archive size");
    file_.Close();
    return position_;
}
