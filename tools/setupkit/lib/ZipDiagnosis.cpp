#include "setupkit/lib/ZipDiagnosis.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "fw/File.h"

namespace {

constexpr uint32_t kLocalSig = 0x04034b50, kCentralSig = 0x02014b50, kEndSig = 0x06054b50;
constexpr uint32_t kZip64LocatorSig = 0x07064b50, kSpanSig = 0x08074b50;
constexpr uint16_t kZip64Extra = 0x0001, kAesExtra = 0x9901;
constexpr size_t kEndSize = 22, kCentralSize = 46, kLocalSize = 30, kLocatorSize = 20;
constexpr size_t kMaxComment = 0xFFFF;

const char* const kRemedy = "re-create it with deflate or store, without a password";

uint32_t U16(const unsigned char* p) { return p[0] | p[1] << 8; }
uint32_t U32(const unsigned char* p) { return U16(p) | static_cast<uint32_t>(U16(p + 2)) << 16; }

bool ReadAt(std::FILE* f, long offset, unsigned char* out, size_t n) {
    return std::fseek(f, offset, SEEK_SET) == 0 && std::fread(out, 1, n, f) == n;
}

// The extra field's blocks: true when one has the given id.
bool HasExtra(const unsigned char* extra, size_t size, uint16_t id) {
    for (size_t at = 0; at + 4 <= size;) {
        const uint32_t tag = U16(extra + at), len = U16(extra + at + 2);
        if (tag == id) return true;
        at += 4 + len;
    }
    return false;
}

std::string Quoted(const std::vector<unsigned char>& name) { return "\"" + std::string(name.begin(), name.end()) + "\""; }

}  // namespace

std::string ZipMethodText(uint32_t method) {
    static const struct {
        uint32_t number;
        const char* name;
    } kNames[] = {{0, "store"},      {1, "Shrink"},      {2, "Reduce"},   {3, "Reduce"},     {4, "Reduce"},
                  {5, "Reduce"},     {6, "Implode"},     {8, "deflate"},  {9, "Deflate64"},  {10, "PKWARE DCL Implode"},
                  {12, "BZip2"},     {14, "LZMA"},       {16, "IBM z/OS CMPSC"}, {18, "IBM TERSE"}, {19, "IBM LZ77 z"},
                  {20, "Zstandard"}, {93, "Zstandard"},  {94, "MP3"},     {95, "XZ"},        {96, "JPEG"},
                  {97, "WavPack"},   {98, "PPMd"},       {99, "AES encryption"}};
    for (const auto& n : kNames)
        if (n.number == method) return std::string(n.name) + " (" + std::to_string(method) + ")";
    return "method " + std::to_string(method);
}

std::string ZipUnreadableReason(const std::string& path, bool singleEntry) {
    UniqueStdioFile file(std::fopen(path.c_str(), "rb"));
    if (!file) return {};
    std::FILE* f = file.get();
    if (std::fseek(f, 0, SEEK_END) != 0) return {};
    const long size = std::ftell(f);
    if (size < static_cast<long>(kEndSize)) return {};

    unsigned char head[4];
    if (ReadAt(f, 0, head, 4) && U32(head) == kSpanSig)
        return "it is one part of a split (multi-volume) archive; the setup reads single-volume archives only: "
               "re-create it as one file, with deflate or store, without a password";

    // The end record: the last signature in the final 22 + 65535 bytes.
    const long tail = std::min<long>(size, static_cast<long>(kEndSize + kMaxComment));
    std::vector<unsigned char> buf(static_cast<size_t>(tail));
    if (!ReadAt(f, size - tail, buf.data(), buf.size())) return {};
    long end = -1;
    for (long i = tail - static_cast<long>(kEndSize); i >= 0; --i)
        if (U32(&buf[static_cast<size_t>(i)]) == kEndSig) {
            end = size - tail + i;
            break;
        }
    if (end < 0) return {};
    unsigned char e[kEndSize];
    if (!ReadAt(f, end, e, kEndSize)) return {};
    const uint32_t thisDisk = U16(e + 4), cdDisk = U16(e + 6), here = U16(e + 8), total = U16(e + 10);
    const uint32_t cdSize = U32(e + 12), cdOffset = U32(e + 16);
    if (thisDisk != 0 || cdDisk != 0 || here != total)
        return "it is the last part of a split (multi-volume) archive of " + std::to_string(thisDisk + 1) +
               " parts; the setup reads single-volume archives only: re-create it as one file, with deflate or "
               "store, without a password";
    unsigned char loc[kLocatorSize];
    const bool locator = end >= static_cast<long>(kLocatorSize) && ReadAt(f, end - static_cast<long>(kLocatorSize), loc, kLocatorSize) &&
                         U32(loc) == kZip64LocatorSig;
    if (locator || total == 0xFFFF || cdSize == 0xFFFFFFFF || cdOffset == 0xFFFFFFFF)
        return "it is a Zip64 archive (it has Zip64 end records); the setup reads plain ZIP archives below 4 GiB "
               "only: " + std::string(kRemedy) + " and without Zip64 (Info-ZIP: zip without -fz)";
    if (singleEntry && total > 1)
        return "it holds " + std::to_string(total) + " entries; the setup unpacks only the first: put one file in "
               "each archive (or the files in a pack file)";

    // The central directory's entries, and each one's local header.
    long at = static_cast<long>(cdOffset);
    for (uint32_t i = 0; i < total; ++i) {
        unsigned char c[kCentralSize];
        if (!ReadAt(f, at, c, kCentralSize) || U32(c) != kCentralSig) return {};
        const uint32_t flags = U16(c + 8), method = U16(c + 10);
        const uint32_t nameLen = U16(c + 28), extraLen = U16(c + 30), commentLen = U16(c + 32);
        const uint32_t localOffset = U32(c + 42);
        std::vector<unsigned char> name(nameLen), extra(extraLen);
        if ((nameLen && !ReadAt(f, at + static_cast<long>(kCentralSize), name.data(), nameLen)) ||
            (extraLen && !ReadAt(f, at + static_cast<long>(kCentralSize + nameLen), extra.data(), extraLen)))
            return {};
        const std::string entry = "entry " + Quoted(name);
        if (method == 99 || HasExtra(extra.data(), extra.size(), kAesExtra))
            return entry + " is encrypted with AES (method 99); the setup reads no encrypted entry: " + kRemedy;
        if (flags & 0x0001)
            return entry + " is encrypted (ZipCrypto, a password); the setup reads no encrypted entry: " + kRemedy;
        if (method != 0 && method != 8)
            return entry + " is compressed with " + ZipMethodText(method) +
                   "; the setup reads only deflate (8) and store (0): " + kRemedy;
        if (HasExtra(extra.data(), extra.size(), kZip64Extra) || U32(c + 20) == 0xFFFFFFFF || U32(c + 24) == 0xFFFFFFFF ||
            localOffset == 0xFFFFFFFF)
            return entry + " has Zip64 fields; the setup reads plain ZIP entries below 4 GiB only: " +
                   std::string(kRemedy) + " and without Zip64 (Info-ZIP: zip without -fz)";
        unsigned char l[kLocalSize];
        if (ReadAt(f, static_cast<long>(localOffset), l, kLocalSize) && U32(l) == kLocalSig) {
            std::vector<unsigned char> localExtra(U16(l + 28));
            if (!localExtra.empty() &&
                ReadAt(f, static_cast<long>(localOffset + kLocalSize + U16(l + 26)), localExtra.data(), localExtra.size()) &&
                HasExtra(localExtra.data(), localExtra.size(), kZip64Extra))
                return entry + " has Zip64 fields in its local header; the setup reads plain ZIP entries below "
                               "4 GiB only: " + std::string(kRemedy) + " and without Zip64 (Info-ZIP: zip without -fz)";
        }
        at += static_cast<long>(kCentralSize + nameLen + extraLen + commentLen);
    }
    return {};
}
