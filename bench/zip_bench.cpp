// Benchmark of the ZIP reader against Info-ZIP unzip and a bare zlib loop.
//
//   zip_bench data FILE MB          deterministic mixed text and binary data
//   zip_bench reader ARCHIVE        first entry through CZipUnpacker, 1024-byte reads
//   zip_bench zlib ARCHIVE          first entry through raw inflate, 64 KiB buffers
//   zip_bench zlibcrc ARCHIVE       the same with CRC-32 of the output
//   zip_bench time OUT CMD ARGS...  runs CMD with stdout to OUT; prints
//                                   "wall_seconds peak_kib cpu_seconds" of it
// zip_bench.sh drives it; see README.md.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/ZipUnpacker.h"

namespace {

int MakeData(const char* path, long megabytes) {
    FILE* f = std::fopen(path, "wb");
    if (!f) return 1;
    static const char* words[] = {"programmer ", "device ",  "socket ", "chip ",   "erase ",   "verify ",
                                  "blank ",      "check\n",  "read ",   "write ",  "address ", "0x3FFF ",
                                  "EPROM ",      "FLASH\n",  "adapter ", "driver ", "setup ",  "option "};
    uint32_t x = 12345;
    auto next = [&x] { return x = x * 1664525u + 1013904223u; };
    std::vector<unsigned char> block(65536);
    for (long i = 0; i < megabytes * 16; ++i) {
        size_t n = 0;
        switch (i % 4) {
        case 0:
        case 1:  // text
            while (n < block.size()) {
                const char* w = words[(next() >> 16) % (sizeof words / sizeof *words)];
                for (; *w && n < block.size(); ++w) block[n++] = static_cast<unsigned char>(*w);
            }
            break;
        case 2:  // machine code like: small values, repeated patterns
            for (; n < block.size(); ++n) {
                uint32_t r = next() >> 24;
                block[n] = static_cast<unsigned char>(r < 96 ? 0 : r < 160 ? (n & 0xFF) : r);
            }
            break;
        case 3:  // compressed or random data
            for (; n < block.size(); ++n) block[n] = static_cast<unsigned char>(next() >> 24);
            break;
        }
        std::fwrite(block.data(), 1, block.size(), f);
    }
    return std::fclose(f) == 0 ? 0 : 1;
}

int ReadWithReader(const char* archive) {
    CZipUnpacker zip(archive);
    zip.GoToFirstEntry();
    ZipEntryInfo info;
    zip.GetCurrentEntryInfo(&info, nullptr, 0);
    zip.OpenCurrentEntry();
    unsigned char buffer[1024];
    unsigned got;
    uint64_t total = 0;
    unsigned sum = 0;
    do {
        got = zip.ReadCurrentEntry(buffer, sizeof buffer);
        total += got;
        sum += buffer[0];  // the data is looked at, as a writer would
    } while (got == sizeof buffer);
    zip.CloseArchive();  // includes the CRC check
    std::fprintf(stderr, "reader: %llu bytes (%u)\n", static_cast<unsigned long long>(total), sum & 1);
    return total == info.uncompressedSize ? 0 : 1;
}

int ReadWithZlib(const char* archive, bool crc) {
    // The first local header: data follows its name and extra field.
    int fd = open(archive, O_RDONLY);
    if (fd < 0) return 1;
    unsigned char h[30];
    if (read(fd, h, 30) != 30) return 1;
    auto u16 = [&](int o) { return h[o] | h[o + 1] << 8; };
    uint32_t csize = h[18] | h[19] << 8 | h[20] << 16 | static_cast<uint32_t>(h[21]) << 24;
    lseek(fd, 30 + u16(26) + u16(28), SEEK_SET);
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return 1;
    std::vector<unsigned char> in(65536), out(65536);
    uint64_t total = 0;
    uLong sum = 0;
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
        if (z.avail_in == 0 && csize > 0) {
            ssize_t n = read(fd, in.data(), std::min<size_t>(in.size(), csize));
            if (n <= 0) return 1;
            csize -= static_cast<uint32_t>(n);
            z.next_in = in.data();
            z.avail_in = static_cast<uInt>(n);
        }
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        rc = inflate(&z, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END) return 1;
        total += out.size() - z.avail_out;
        if (crc) sum = crc32(sum, out.data(), static_cast<uInt>(out.size() - z.avail_out));
    }
    inflateEnd(&z);
    close(fd);
    std::fprintf(stderr, "zlib: %llu bytes, crc %08lx\n", static_cast<unsigned long long>(total), sum);
    return 0;
}

int TimeChild(const char* outPath, char** argv) {
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        int fd = open(outPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) dup2(fd, 1);
        execvp(argv[0], argv);
        _exit(127);
    }
    int status = 0;
    struct rusage ru;
    if (wait4(pid, &status, 0, &ru) < 0) return 1;
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double cpu = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                 static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
    std::printf("%.4f %ld %.4f\n", seconds, ru.ru_maxrss, cpu);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        if (argc == 4 && !std::strcmp(argv[1], "data")) return MakeData(argv[2], std::atol(argv[3]));
        if (argc == 3 && !std::strcmp(argv[1], "reader")) return ReadWithReader(argv[2]);
        if (argc == 3 && !std::strcmp(argv[1], "zlib")) return ReadWithZlib(argv[2], false);
        if (argc == 3 && !std::strcmp(argv[1], "zlibcrc")) return ReadWithZlib(argv[2], true);
        if (argc >= 4 && !std::strcmp(argv[1], "time")) return TimeChild(argv[2], argv + 3);
    } catch (const CException& e) {
        std::fprintf(stderr, "zip_bench: %s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "usage: see zip_bench.cpp\n");
    return 2;
}
