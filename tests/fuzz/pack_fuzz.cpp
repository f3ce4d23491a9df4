// libFuzzer target of the pack reader: any bytes as a pack file. The reader
// must never read outside the file, never overrun its name buffer, always
// come to an end, and read the same record again after a rewind.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "config/Paths.h"
#include "engine/InstallSteps.h"
#include "engine/PackFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FILE* sink = std::fopen("/dev/null", "wb");
    // fmemopen refuses an empty buffer: an empty pack is one byte, read away.
    static const uint8_t none = 0;
    FILE* f = fmemopen(const_cast<uint8_t*>(size ? data : &none), size ? size : 1, "rb");
    if (!f) return 0;
    if (!size) std::fgetc(f);
    char buffer[pack::kStreamBufferSize];
    std::setvbuf(f, buffer, _IOFBF, sizeof buffer);
    CPackReader r;
    r.Attach(f);
    const int count = r.ReadHeader();
    if (count < -32768 || count > 32767) std::abort();
    int records = 0;
    for (;;) {
        PackRecordInfo info;
        const CPackReader::Status st = r.ReadRecordHeader(info);
        if (std::memchr(info.name, 0, sizeof info.name) == nullptr) std::abort();
        if (st != CPackReader::record) break;
        // Every record costs at least its 9 fixed bytes: the loop ends.
        if (++records > static_cast<int>(size / 9) + 1) std::abort();
        const uint64_t start = r.RecordStart();
        if (records % 3 == 0) {
            // Reading the record again gives the same record.
            PackRecordInfo again;
            if (!r.RewindRecord() || r.ReadRecordHeader(again) != CPackReader::record ||
                std::memcmp(&info, &again, sizeof info) != 0 || r.RecordStart() != start)
                std::abort();
        }
        char path[sizes::kRecordPath];
        if (IsSafeRelativeName(info.name)) JoinPath(path, sizeof path, {"C:\\dest", "\\", info.name});
        const bool ok = (records % 2) ? r.CopyData(sink, info.length) : r.SkipData(info.length);
        if (!ok) std::abort();  // the header promised that the data is there
        (void)pack::DosTimeToLocal(info.dosTime);
    }
    (void)engine::PackPercent(engine::PackSliceFor(3, 1), records, count);
    return 0;
}
