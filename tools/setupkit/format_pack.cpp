// The setup's pack file in `setupkit list` and `setupkit extract` (--pack,
// or any file that is not a ZIP archive), read with the setup's own pack
// reader so that the vendor sees what the pack phase will see.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "ArchiveFormat.h"
#include "config/Paths.h"
#include "engine/InstallSteps.h"
#include "engine/PackFile.h"
#include "engine/ZipUnpacker.h"

namespace {

std::string Damage(CPackReader::Status st, const PackRecordInfo& info, uint64_t offset) {
    const std::string at = " (record at offset " + std::to_string(offset) + ")";
    if (st == CPackReader::nameTooLong) return "a record name has no terminating zero within 80 bytes" + at;
    if (info.name[0]) return "the pack ends inside the record '" + std::string(info.name) + "'" + at;
    return "the pack ends inside a record" + at;
}

struct Record {
    PackRecordInfo info;
};

// Reads every record header of the pack (skipping the data); returns the
// exit code and prints the reason on failure. A pack has no signature: when
// no option named the format, a file whose very first record cannot be read
// is taken for what it most likely is, a file of some other kind.
int Scan(const std::string& pack, bool guessed, int& count, std::vector<Record>& records) {
    CPackReader r;
    if (!r.Open(pack.c_str())) return ArchiveError(pack, "cannot open the pack file");
    const std::string notOne = guessed ? "not a ZIP archive or pack file" : "not a pack file";
    if (r.Size() == 0) return ArchiveError(pack, notOne + " (the file is empty)");
    if (r.Size() < pack::kHeaderSize)
        return ArchiveError(pack, notOne + " (" + std::to_string(r.Size()) + " bytes: too short for " +
                                      (guessed ? "either" : "the 4-byte header") + ")");
    count = r.ReadHeader();
    for (;;) {
        Record rec;
        const CPackReader::Status st = r.ReadRecordHeader(rec.info);
        if (st == CPackReader::end) break;
        if (st != CPackReader::record && guessed && records.empty())
            return ArchiveError(pack, notOne + " (no ZIP signature, and its first pack record " +
                                          (st == CPackReader::nameTooLong ? "has no name ending within 80 bytes"
                                                                         : "runs past the end of the file") +
                                          ")");
        if (st != CPackReader::record) return ArchiveError(pack, Damage(st, rec.info, r.RecordStart()));
        if (!r.SkipData(rec.info.length)) return ArchiveError(pack, Damage(CPackReader::truncated, rec.info, r.RecordStart()));
        records.push_back(rec);
    }
    return 0;
}

int ListPack(const std::string& pack, bool guessed) {
    int count = 0;
    std::vector<Record> records;
    const int rc = Scan(pack, guessed, count, records);
    if (rc) return rc;
    std::printf("%10s %-19s %s\n", "Size", "Modified", "Name");
    for (const Record& rec : records) {
        const LocalTime t = pack::DosTimeToLocal(rec.info.dosTime);
        std::printf("%10lu %04d-%02d-%02d %02d:%02d:%02d %s\n", static_cast<unsigned long>(rec.info.length), t.year,
                    t.month, t.day, t.hour, t.minute, t.second, rec.info.name);
    }
    std::printf("%zu records; header count %d\n", records.size(), count);
    if (count != static_cast<int>(records.size()))
        std::fprintf(stderr, "setupkit: %s: note: the header counts %d records, the pack holds %zu\n", pack.c_str(),
                     count, records.size());
    return 0;
}

int ExtractPack(const std::string& pack, const std::string& dir, bool guessed) {
    // The whole pack is checked before anything is written: a damaged pack
    // or a refused name leaves the folder untouched.
    int count = 0;
    std::vector<Record> records;
    int rc = Scan(pack, guessed, count, records);
    if (rc) return rc;
    std::vector<std::string> names;
    for (const Record& rec : records) {
        if (!IsSafeRelativeName(rec.info.name))
            return ArchiveError(pack, "the record name '" + std::string(rec.info.name) +
                                          "' would lead out of the destination folder");
        names.push_back(rec.info.name);
    }
    const std::string clash = FindEntryClash(names, "records");
    if (!clash.empty()) return ArchiveError(pack, clash);
    std::error_code ec;
    const std::filesystem::path root(dir);
    std::filesystem::create_directories(root, ec);
    if (ec) return ArchiveError(pack, "cannot create the folder " + dir + ": " + ec.message());

    CPackReader r;
    char readBuffer[pack::kStreamBufferSize], writeBuffer[pack::kStreamBufferSize];
    if (!r.Open(pack.c_str(), readBuffer, sizeof readBuffer)) return ArchiveError(pack, "cannot open the pack file");
    r.ReadHeader();
    for (const Record& rec : records) {
        std::string name = rec.info.name;
#ifndef _WIN32
        for (char& c : name)
            if (c == '\\') c = '/';
#endif
        const std::filesystem::path target = root / name;
        if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ec);
        const std::string dest = root.string();
        // One record exactly as the pack phase writes it.
        const engine::PackStepOutcome o = engine::WritePackRecord(r, dest.c_str(), writeBuffer, sizeof writeBuffer);
        using Result = engine::PackStepOutcome::Result;
        switch (o.result) {
        case Result::written:
            break;
        case Result::pathTooLong:
            return ArchiveError(pack, PathTooLongText(rec.info.name, pack) + " The setup builds a record's path in " +
                                          std::to_string(sizes::kRecordPath) + " bytes (" + dest + " is its folder here).");
        case Result::createFailed:
            return ArchiveError(pack, "cannot create " + target.string() + ": " + SystemErrorText(o.osError));
        case Result::writeFailed:
        case Result::stampFailed:
            return ArchiveError(pack, "cannot write " + target.string() + ": " + SystemErrorText(o.osError));
        default:
            return ArchiveError(pack, "the pack changed while it was read");
        }
    }
    return 0;
}

const ArchiveFormat packFormat("--pack", "pack file of the setup (no signature: any file that is not a ZIP archive)",
                               ListPack, ExtractPack);

}  // namespace

bool LooksLikeZip(const std::string& path) {
    try {
        CZipUnpacker zip(path);
        return true;
    } catch (const CFileException&) {
        return true;  // let the ZIP format report the file that cannot be opened
    } catch (const CZipException&) {
    }
    // A damaged or empty ZIP archive still shows its signatures (a local
    // header at the start, an end record near the end): report it as a ZIP
    // archive rather than read it as a pack. --pack overrides this guess.
    UniqueStdioFile file(std::fopen(path.c_str(), "rb"));
    FILE* f = file.get();
    if (!f) return true;
    std::vector<unsigned char> tail(65557 + 22);
    long size = 0;
    if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
    unsigned char head[4] = {};
    std::fseek(f, 0, SEEK_SET);
    const size_t n = std::fread(head, 1, sizeof head, f);
    const long from = size > static_cast<long>(tail.size()) ? size - static_cast<long>(tail.size()) : 0;
    std::fseek(f, from, SEEK_SET);
    tail.resize(std::fread(tail.data(), 1, tail.size(), f));
    if (n == 4 && head[0] == 'P' && head[1] == 'K' && head[2] + 1 == head[3] && head[2] % 2 == 1 && head[2] <= 7)
        return true;
    static const unsigned char kEnd[4] = {'P', 'K', 5, 6};
    return std::search(tail.begin(), tail.end(), kEnd, kEnd + 4) != tail.end();
}
