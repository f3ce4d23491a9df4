#include "engine/ZipUnpacker.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "engine/Crc32.h"

namespace {

using namespace zipformat;
constexpr unsigned kSearchWindow = 1028;
constexpr uint64_t kMaxEndRecordDistance = 65535;
constexpr unsigned kInputChunk = 16384;
// Deflated data is inflated into a buffer of this size and handed out from
// there, so that zlib's fast decoder runs on long stretches even when the
// caller reads 1024 bytes at a time.
constexpr unsigned kOutputChunk = 65536;
constexpr uint32_t kFlagDataDescriptor = 8;

uint32_t Get16(const unsigned char* p) { return p[0] + 256u * p[1]; }
uint32_t Get32(const unsigned char* p) { return Get16(p) + 65536u * Get16(p + 2); }

}  // namespace

// An open entry: its compressed input, the inflater and the running check.
struct ZipEntryStream {
    std::unique_ptr<unsigned char[]> inputBuffer{new unsigned char[kInputChunk]};
    z_stream inflater{};
    uint64_t posInArchive = 0;  // absolute offset of the next compressed byte
    bool streamInitialised = false;
    uint32_t crc32 = 0;
    uint32_t expectedCrc32 = 0;
    uint32_t compressedLeft = 0;
    uint32_t uncompressedLeft = 0;  // bytes not yet delivered to the caller
    uint32_t method = 0;
    // Deflated entries: inflated bytes waiting in outputBuffer[outPos, outEnd).
    std::unique_ptr<unsigned char[]> outputBuffer;
    unsigned outPos = 0;
    unsigned outEnd = 0;
    uint32_t produceLeft = 0;  // bytes zlib may still produce (stated size)
    bool streamEnded = false;  // zlib reported the end of the deflate stream

    ZipEntryStream() = default;
    ZipEntryStream(const ZipEntryStream&) = delete;
    ZipEntryStream& operator=(const ZipEntryStream&) = delete;
    ~ZipEntryStream() {
        if (streamInitialised) inflateEnd(&inflater);
    }
};

// ---------------------------------------------------------------- causes

const char* ZipCauseName(ZipCause cause) {
    using enum ZipCause;
    switch (cause) {
    case otherError: return "otherError";
    case inflateStreamEnd: return "inflateStreamEnd";
    case inflateNeedDictionary: return "inflateNeedDictionary";
    case systemError: return "systemError";
    case inflateStreamError: return "inflateStreamError";
    case inflateDataError: return "inflateDataError";
    case outOfMemory: return "outOfMemory";
    case inflateBufferError: return "inflateBufferError";
    case inflateVersionError: return "inflateVersionError";
    case badArgument: return "badArgument";
    case badArchive: return "badArchive";
    case checksumMismatch: return "checksumMismatch";
    }
    return "otherError";
}

const char* ZipCauseText(ZipCause cause) {
    using enum ZipCause;
    switch (cause) {
    case inflateStreamEnd: return "The compressed data ended unexpectedly.";
    case inflateNeedDictionary: return "The compressed data needs a preset dictionary.";
    case systemError: return "A system error occurred while decompressing.";
    case inflateStreamError: return "The decompressor was used inconsistently.";
    case inflateDataError: return "The compressed data is corrupt.";
    case outOfMemory: return "There is not enough memory to decompress.";
    case inflateBufferError: return "The compressed data ends before its end marker.";
    case inflateVersionError: return "The decompression library has an incompatible version.";
    case otherError: break;
    case badArgument: return "An archive operation was called out of order.";
    case badArchive: return "The archive is damaged or not a single-volume ZIP archive this reader takes.";
    case checksumMismatch: return "An entry's data does not match its stored CRC-32 or size.";
    }
    return "An unexpected error occurred while reading the archive.";
}

CZipException::CZipException(ZipCause c, std::string path, unsigned char kind)
    : kindFlag(kind), archivePath(std::move(path)), cause(c) {}

std::string CZipException::GetErrorMessage() const { return "Internal application error."; }

// ---------------------------------------------------------------- time

LocalTime DosDateTimeToLocal(uint32_t dosDateTime) {
    uint32_t date = dosDateTime >> 16, time = dosDateTime & 0xFFFF;
    LocalTime t;
    t.year = 1980 + static_cast<int>(date >> 9);
    t.month = std::clamp(static_cast<int>((date >> 5) & 15), 1, 12);
    static const int kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (t.year % 4 == 0 && t.year % 100 != 0) || t.year % 400 == 0;
    int lastDay = (t.month == 2 && !leap) ? 28 : kDays[t.month - 1];
    t.day = std::clamp(static_cast<int>(date & 31), 1, lastDay);
    t.hour = std::min(static_cast<int>(time >> 11), 23);
    t.minute = std::min(static_cast<int>((time >> 5) & 63), 59);
    t.second = std::min(2 * static_cast<int>(time & 31), 59);
    return t;
}

// ---------------------------------------------------------------- memory

namespace {

// zlib's allocation callbacks: plain blocks, freed by inflateEnd, which the
// entry stream's destructor always calls.
void* AllocBlock(void*, unsigned items, unsigned size) {
    if (size != 0 && items > SIZE_MAX / size) return nullptr;
    return std::malloc(static_cast<size_t>(items) * size);
}
void FreeBlock(void*, void* block) { std::free(block); }

}  // namespace

ZipCause ZipCauseOfZlibCode(int code) {
    using enum ZipCause;
    switch (code) {
    case Z_STREAM_END: return inflateStreamEnd;
    case Z_NEED_DICT: return inflateNeedDictionary;
    case Z_ERRNO: return systemError;
    case Z_STREAM_ERROR: return inflateStreamError;
    case Z_DATA_ERROR: return inflateDataError;
    case Z_MEM_ERROR: return outOfMemory;
    case Z_BUF_ERROR: return inflateBufferError;
    case Z_VERSION_ERROR: return inflateVersionError;
    }
    return otherError;
}

void CZipUnpacker::ThrowZipError(ZipCause cause) const {
    std::string path;
    if (cursor_.file.IsOpen()) path = cursor_.file.GetFilePath();
    throw CZipException(cause, std::move(path));
}

// ---------------------------------------------------------------- archive

CZipUnpacker::CZipUnpacker() = default;

CZipUnpacker::CZipUnpacker(const char* path) : CZipUnpacker() { OpenArchive(path); }

CZipUnpacker::~CZipUnpacker() {
    ReleaseStream();
    cursor_.file.Abort();
}

void CZipUnpacker::ReleaseStream() noexcept { cursor_.stream.reset(); }

// Reads count bytes at an absolute file offset. Anything that would reach
// beyond the end of the file is a damaged archive.
void CZipUnpacker::ReadExact(uint64_t absolutePos, void* buffer, unsigned count) {
    if (absolutePos > cursor_.fileLength || count > cursor_.fileLength - absolutePos) ThrowZipError(ZipCause::badArchive);
    cursor_.file.Seek(static_cast<int64_t>(absolutePos), CFile::begin);
    auto* p = static_cast<unsigned char*>(buffer);
    while (count > 0) {
        unsigned got = cursor_.file.Read(p, count);
        if (got == 0) ThrowZipError(ZipCause::badArchive);
        p += got;
        count -= got;
    }
}

void CZipUnpacker::OpenArchive(const char* path) {
    if (cursor_.file.IsOpen()) return;
    cursor_.file.Open(path, CFile::modeRead | CFile::shareDenyWrite);
    try {
        cursor_.fileLength = cursor_.file.GetLength();
        cursor_.entryValid = false;
        uint64_t endPos = FindEndRecord();
        unsigned char rec[kEndRecordSize];
        ReadExact(endPos, rec, sizeof rec);
        uint32_t diskNumber = Get16(rec + 4);
        uint32_t dirDisk = Get16(rec + 6);
        cursor_.entryCount = Get16(rec + 8);
        uint32_t totalEntries = Get16(rec + 10);
        if (totalEntries != cursor_.entryCount || diskNumber != 0 || dirDisk != 0) ThrowZipError(ZipCause::badArchive);
        // An archive without entries has nothing to unpack; its end record
        // stands where the first central header would.
        if (cursor_.entryCount == 0) ThrowZipError(ZipCause::badArchive);
        cursor_.dirSize = Get32(rec + 12);
        cursor_.dirOffset = Get32(rec + 16);
        uint64_t dirEnd = uint64_t{cursor_.dirOffset} + cursor_.dirSize;
        if (endPos < dirEnd) ThrowZipError(ZipCause::badArchive);
        cursor_.endRecordPos = static_cast<uint32_t>(endPos);
        cursor_.bytesBefore = static_cast<uint32_t>(endPos - dirEnd);
        GoToFirstEntry();
    } catch (...) {
        // A refused archive leaves the reader as it was: no archive open.
        cursor_.entryValid = false;
        cursor_.file.Abort();
        throw;
    }
}

uint64_t CZipUnpacker::FindEndRecord() {
    const uint64_t length = cursor_.fileLength;
    const uint64_t maxBack = std::min(kMaxEndRecordDistance, length);
    std::unique_ptr<unsigned char[]> window(new unsigned char[kSearchWindow]);
    uint64_t backRead = 4, found = 0;
    while (backRead < maxBack && found == 0) {
        backRead = std::min(backRead + 1024, maxBack);
        uint64_t readPos = length - backRead;
        unsigned readSize = static_cast<unsigned>(std::min<uint64_t>(kSearchWindow, length - readPos));
        ReadExact(readPos, window.get(), readSize);
        for (unsigned i = readSize - 4 + 1; i-- > 0;) {
            if (Get32(window.get() + i) == kEndSignature) {
                found = readPos + i;
                break;
            }
        }
    }
    // Offsets in the archive are 32-bit; an end record beyond that cannot
    // belong to an archive this reader can address.
    if (found == 0 || found > UINT32_MAX) ThrowZipError(ZipCause::badArchive);
    return found;
}

void CZipUnpacker::ReadCentralHeader(ZipEntryInfo& info, uint32_t* localOffset, char* nameBuffer,
                                     unsigned bufferSize) {
    uint64_t pos = uint64_t{cursor_.entryDirPos} + cursor_.bytesBefore;
    unsigned char h[kCentralHeaderSize];
    ReadExact(pos, h, sizeof h);
    if (Get32(h) != kCentralSignature) ThrowZipError(ZipCause::badArchive);
    info.versionMadeBy = Get16(h + 4);
    info.versionNeeded = Get16(h + 6);
    info.flags = Get16(h + 8);
    info.method = Get16(h + 10);
    info.dosDateTime = Get32(h + 12);
    info.modified = DosDateTimeToLocal(info.dosDateTime);
    info.crc32 = Get32(h + 16);
    info.compressedSize = Get32(h + 20);
    info.uncompressedSize = Get32(h + 24);
    info.nameLength = Get16(h + 28);
    info.extraLength = Get16(h + 30);
    info.entryCommentLength = Get16(h + 32);
    info.diskNumberStart = Get16(h + 34);
    info.internalAttributes = Get16(h + 36);
    info.externalAttributes = Get32(h + 38);
    if (localOffset) *localOffset = Get32(h + 42);
    if (nameBuffer && bufferSize > 0) {
        unsigned n = std::min(info.nameLength, bufferSize);
        ReadExact(pos + kCentralHeaderSize, nameBuffer, n);
        if (n < bufferSize) nameBuffer[n] = 0;
    }
}

void CZipUnpacker::GoToFirstEntry() {
    if (!cursor_.file.IsOpen()) ThrowZipError(ZipCause::badArgument);
    cursor_.entryValid = false;
    cursor_.entryDirPos = cursor_.dirOffset;
    cursor_.entryIndex = 0;
    ReadCentralHeader(cursor_.entryInfo, &cursor_.entryLocalOffset, nullptr, 0);
    cursor_.entryValid = true;
}

bool CZipUnpacker::GoToNextEntry() {
    if (!cursor_.entryValid || !cursor_.file.IsOpen()) return false;
    if (cursor_.entryIndex + 1 >= cursor_.entryCount) return false;
    const ZipEntryInfo& e = cursor_.entryInfo;
    uint64_t next = uint64_t{cursor_.entryDirPos} + kCentralHeaderSize + e.nameLength + e.extraLength +
                    e.entryCommentLength;
    if (next > UINT32_MAX) ThrowZipError(ZipCause::badArchive);
    cursor_.entryValid = false;
    cursor_.entryDirPos = static_cast<uint32_t>(next);
    cursor_.entryIndex += 1;
    ReadCentralHeader(cursor_.entryInfo, &cursor_.entryLocalOffset, nullptr, 0);
    cursor_.entryValid = true;
    return true;
}

ZipEntryInfo CZipUnpacker::CurrentEntry(std::string* name) {
    ZipEntryInfo info;
    GetCurrentEntryInfo(&info, nullptr, 0);
    if (name) {
        std::vector<char> buffer(info.nameLength + 1, 0);
        GetCurrentEntryInfo(nullptr, buffer.data(), static_cast<unsigned>(buffer.size()));
        name->assign(buffer.data());
    }
    return info;
}

void CZipUnpacker::GetCurrentEntryInfo(ZipEntryInfo* info, char* nameBuffer, unsigned bufferSize) {
    if (!cursor_.entryValid || !cursor_.file.IsOpen()) ThrowZipError(ZipCause::badArgument);
    ZipEntryInfo scratch;
    ReadCentralHeader(info ? *info : scratch, nullptr, nameBuffer, bufferSize);
}

void CZipUnpacker::OpenCurrentEntry() {
    if (!cursor_.entryValid || !cursor_.file.IsOpen()) ThrowZipError(ZipCause::badArgument);
    if (cursor_.stream) CloseCurrentEntry();

    const ZipEntryInfo& e = cursor_.entryInfo;
    const uint64_t localPos = uint64_t{cursor_.entryLocalOffset} + cursor_.bytesBefore;
    unsigned char h[kLocalHeaderSize];
    ReadExact(localPos, h, sizeof h);
    if (Get32(h) != kLocalSignature) ThrowZipError(ZipCause::badArchive);
    uint32_t flags = Get16(h + 6);
    bool relaxed = (flags & kFlagDataDescriptor) != 0;
    if (Get16(h + 8) != e.method || (e.method != 0 && e.method != 8)) ThrowZipError(ZipCause::badArchive);
    if (!relaxed && (Get32(h + 14) != e.crc32 || Get32(h + 18) != e.compressedSize ||
                     Get32(h + 22) != e.uncompressedSize))
        ThrowZipError(ZipCause::badArchive);
    if (Get16(h + 26) != e.nameLength) ThrowZipError(ZipCause::badArchive);
    uint32_t varSize = Get16(h + 26) + Get16(h + 28);

    // The entry's data must lie inside the file before a byte of it is
    // delivered.
    uint64_t dataPos = localPos + kLocalHeaderSize + varSize;
    if (dataPos > cursor_.fileLength || e.compressedSize > cursor_.fileLength - dataPos)
        ThrowZipError(ZipCause::badArchive);

    // Built aside and attached only when complete, so that a refused entry
    // never counts as open.
    auto s = std::make_unique<ZipEntryStream>();
    s->expectedCrc32 = e.crc32;
    s->method = e.method;
    if (e.method == 8) {
        s->outputBuffer.reset(new unsigned char[kOutputChunk]);
        s->inflater.zalloc = AllocBlock;
        s->inflater.zfree = FreeBlock;
        s->inflater.opaque = nullptr;
        int rc = inflateInit2_(&s->inflater, -MAX_WBITS, ZLIB_VERSION, static_cast<int>(sizeof(z_stream)));
        if (rc != Z_OK) ThrowZipError(ZipCauseOfZlibCode(rc));
        s->streamInitialised = true;
    }
    s->compressedLeft = e.compressedSize;
    s->uncompressedLeft = e.uncompressedSize;
    s->produceLeft = e.uncompressedSize;
    s->posInArchive = dataPos;
    s->inflater.avail_in = 0;
    cursor_.stream = std::move(s);
}

unsigned CZipUnpacker::ReadCurrentEntry(void* buffer, unsigned size) {
    ZipEntryStream* s = cursor_.stream.get();
    if (!s) ThrowZipError(ZipCause::badArgument);
    if (!buffer || size == 0) return 0;
    auto* out = static_cast<unsigned char*>(buffer);
    const unsigned want = std::min(size, s->uncompressedLeft);
    unsigned delivered = 0;
    z_stream& z = s->inflater;

    auto fillInput = [&] {
        unsigned chunk = std::min<uint32_t>(kInputChunk, s->compressedLeft);
        ReadExact(s->posInArchive, s->inputBuffer.get(), chunk);
        s->posInArchive += chunk;
        s->compressedLeft -= chunk;
        z.next_in = s->inputBuffer.get();
        z.avail_in = chunk;
    };

    if (s->method == 0) {
        while (delivered < want) {
            if (z.avail_in == 0) {
                // Stored data that ends before its stated size: damaged.
                if (s->compressedLeft == 0) ThrowZipError(ZipCause::badArchive);
                fillInput();
            }
            unsigned n = std::min(want - delivered, z.avail_in);
            std::memcpy(out + delivered, z.next_in, n);
            s->crc32 = Crc32Update(s->crc32, z.next_in, n);
            z.next_in += n;
            z.avail_in -= n;
            s->uncompressedLeft -= n;
            delivered += n;
        }
        return delivered;
    }

    while (delivered < want) {
        if (s->outPos < s->outEnd) {
            unsigned n = std::min(want - delivered, s->outEnd - s->outPos);
            std::memcpy(out + delivered, s->outputBuffer.get() + s->outPos, n);
            s->outPos += n;
            s->uncompressedLeft -= n;
            delivered += n;
            continue;
        }
        if (s->streamEnded) break;
        if (z.avail_in == 0 && s->compressedLeft > 0) fillInput();
        s->outPos = s->outEnd = 0;
        z.next_out = s->outputBuffer.get();
        z.avail_out = std::min<uint32_t>(kOutputChunk, s->produceLeft);
        const uInt inBefore = z.avail_in;
        int rc = inflate(&z, Z_SYNC_FLUSH);
        unsigned n = static_cast<unsigned>(z.next_out - s->outputBuffer.get());
        s->crc32 = Crc32Update(s->crc32, s->outputBuffer.get(), n);
        s->produceLeft -= n;
        s->outEnd = n;
        if (rc == Z_STREAM_END) {
            s->streamEnded = true;
        } else if (rc == Z_OK || rc == Z_NEED_DICT) {
            // zlib promises progress with Z_OK; never spin if it made none.
            if (n == 0 && z.avail_in == inBefore) ThrowZipError(ZipCause::inflateBufferError);
        } else {
            ThrowZipError(ZipCauseOfZlibCode(rc));
        }
    }
    return delivered;
}

void CZipUnpacker::CloseCurrentEntry() {
    ZipEntryStream* s = cursor_.stream.get();
    if (!s) return;
    bool bad = false;
    if (s->uncompressedLeft == 0) {
        bad = s->crc32 != s->expectedCrc32;
    } else if (s->streamEnded && s->outPos == s->outEnd) {
        // The deflate stream ended, and everything it produced was
        // delivered, before the stated size was reached: the entry is short.
        bad = true;
    }
    ReleaseStream();
    if (bad) ThrowZipError(ZipCause::checksumMismatch);
}

void CZipUnpacker::ApplyEntryStatus(CFile& output, const ZipEntryInfo& info) {
    std::string path = output.GetFilePath();
    output.Close();
    ApplyEntryStatus(path, info);
}

void CZipUnpacker::ApplyEntryStatus(const std::string& path, const ZipEntryInfo& info) {
    CFile::SetAttributes(path, 0x80);  // FILE_ATTRIBUTE_NORMAL: writable while its time is set
    CFile::SetModifiedTime(path, info.modified, /*stampNow=*/true);
    CFile::SetAttributes(path, info.externalAttributes);  // a refusal is ignored
}

void CZipUnpacker::CloseArchive() {
    if (!cursor_.file.IsOpen()) return;
    CloseCurrentEntry();
    cursor_.entryValid = false;
    cursor_.file.Close();
}
