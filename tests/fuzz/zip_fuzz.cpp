// libFuzzer target: the ZIP reader on any bytes, every entry read with the
// setup's 1024-byte buffer, some left half read. The reader's own exceptions
// are answers; a crash, a sanitizer report, a hang or a leak is a finding.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/ZipUnpacker.h"

namespace {
// The reader works on a file: one temporary file, in /dev/shm where there is one.
struct TempFile {
    std::string path = std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/zip_fuzz_XXXXXX";
    TempFile() { close(mkstemp(path.data())); }
    ~TempFile() { unlink(path.c_str()); }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const TempFile temp;
    const std::string& path = temp.path;
    {
        CFile f(path.c_str(), CFile::modeCreate | CFile::modeWrite);
        if (size) f.Write(data, static_cast<unsigned>(size));
    }
    try {
        CZipUnpacker zip(path);
        zip.GoToFirstEntry();
        unsigned index = 0;
        do {
            try {
                ZipEntryInfo info;
                zip.GetCurrentEntryInfo(&info, nullptr, 0);
                char name[300];
                zip.GetCurrentEntryInfo(nullptr, name, sizeof name);
                zip.OpenCurrentEntry();
                unsigned char buffer[1024];
                unsigned got;
                // Every third entry is left after its first piece.
                do {
                    got = zip.ReadCurrentEntry(buffer, sizeof buffer);
                } while (got == sizeof buffer && index % 3 != 2);
                zip.CloseCurrentEntry();
            } catch (const CZipException&) {
                // A bad entry does not end the walk: the next one is read.
            }
            ++index;
        } while (zip.GoToNextEntry());
        zip.CloseArchive();
    } catch (const CZipException&) {
    } catch (const CFileException&) {
    }
    return 0;
}
