// The ZIP format of `setupkit list` and `setupkit extract`, read with the
// setup's own reader so that the vendor sees what the setup will see.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "ArchiveFormat.h"
#include "setupkit/lib/ZipDiagnosis.h"
#include "config/Paths.h"
#include "engine/ZipUnpacker.h"

namespace {

std::string EntryName(CZipUnpacker& zip, ZipEntryInfo& info) {
    std::string name;
    info = zip.CurrentEntry(&name);
    return name.c_str();  // the setup uses the name as a C string
}

std::string MethodName(uint32_t method) {
    if (method == 0) return "Stored";
    if (method == 8) return "Deflated";
    return "Method " + std::to_string(method);
}

// Runs body and turns the reader's and the file layer's exceptions into a
// one-line message and exit code 1.
template <typename F>
int Guarded(const std::string& archive, F body) {
    try {
        return body();
    } catch (const CZipException& e) {
        // The archive's headers usually tell what the reader does not take.
        const std::string why = ZipUnreadableReason(archive, false);
        if (!why.empty()) return ArchiveError(archive, "the setup cannot read this archive: " + why);
        return ArchiveError(archive, std::string(ZipCauseName(e.cause)) + ": " + ZipCauseText(e.cause));
    } catch (const CFileException& e) {
        return ArchiveError(archive, e.GetErrorMessage());
    } catch (const std::filesystem::filesystem_error& e) {
        return ArchiveError(archive, std::string("cannot create a folder: ") + e.what());
    }
}

int ListZip(const std::string& archive, bool) {
    return Guarded(archive, [&] {
        CZipUnpacker zip(archive);
        std::printf("%-8s %10s %10s %-8s %-19s %-8s %s\n", "Method", "Compressed", "Size", "CRC-32", "Modified",
                    "Attr", "Name");
        do {
            ZipEntryInfo info;
            std::string name = EntryName(zip, info);
            const LocalTime& t = info.modified;
            std::printf("%-8s %10lu %10lu %08lx %04d-%02d-%02d %02d:%02d:%02d %08lx %s\n",
                        MethodName(info.method).c_str(), static_cast<unsigned long>(info.compressedSize),
                        static_cast<unsigned long>(info.uncompressedSize), static_cast<unsigned long>(info.crc32),
                        t.year, t.month, t.day, t.hour, t.minute, t.second,
                        static_cast<unsigned long>(info.externalAttributes), name.c_str());
        } while (zip.GoToNextEntry());
        zip.CloseArchive();
        return 0;
    });
}

std::string NativeName(std::string name) {
#ifdef _WIN32
    for (char& c : name) if (c == '/') c = '\\';
#else
    for (char& c : name) if (c == '\\') c = '/';
#endif
    return name;
}

int ExtractZip(const std::string& archive, const std::string& dir, bool) {
    return Guarded(archive, [&] {
        CZipUnpacker zip(archive);
        // Every name is checked before anything is written.
        std::vector<std::string> names;
        do {
            ZipEntryInfo info;
            std::string name = EntryName(zip, info);
            if (!IsSafeRelativeName(name))
                return ArchiveError(archive, "the entry name '" + name + "' would lead out of the destination folder");
            names.push_back(name);
        } while (zip.GoToNextEntry());
        const std::string clash = FindEntryClash(names);
        if (!clash.empty()) return ArchiveError(archive, clash);

        const std::filesystem::path root(dir);
        std::filesystem::create_directories(root);
        zip.GoToFirstEntry();
        do {
            ZipEntryInfo info;
            std::string name = NativeName(EntryName(zip, info));
            std::filesystem::path target = root / name;
            if (name.back() == '/' || name.back() == '\\') {  // a folder entry
                std::filesystem::create_directories(target);
                continue;
            }
            if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path());
            CFile out(target.string().c_str(), CFile::modeCreate | CFile::modeWrite);
            try {
                zip.OpenCurrentEntry();
                // 1024-byte pieces, as the setup moves an entry.
                unsigned char buffer[1024];
                unsigned got;
                do {
                    got = zip.ReadCurrentEntry(buffer, sizeof buffer);
                    if (got) out.Write(buffer, got);
                } while (got == sizeof buffer);
                zip.CloseCurrentEntry();  // checks the CRC
            } catch (...) {
                // A damaged entry leaves no file under its name that looks whole.
                out.Abort();
                std::error_code ec;
                std::filesystem::remove(target, ec);
                throw;
            }
            zip.ApplyEntryStatus(out, info);
        } while (zip.GoToNextEntry());
        zip.CloseArchive();
        return 0;
    });
}

const ArchiveFormat zipFormat("", "ZIP archive (stored and deflated entries)", ListZip, ExtractZip);

}  // namespace
