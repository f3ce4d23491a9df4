// Helper of bench/pack_bench.sh (native, optimised build):
//   pack_bench data DIR FILES MB      writes a tree of FILES files holding MB
//                                     megabytes in 10 subfolders (deterministic)
//   pack_bench unpack PACK DEST       writes every record of PACK below DEST
//                                     exactly as the setup's pack phase does
//                                     (1024-byte stream buffers, one record a
//                                     step, the record's time set)
//   pack_bench time CMD ARGS...       runs CMD, prints "wall-s cpu-s maxrss-KiB"
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/InstallSteps.h"
#include "engine/PackFile.h"

namespace {

int Data(const std::string& dir, int files, int mb) {
    mkdir(dir.c_str(), 0755);
    for (int d = 0; d < 10; ++d) mkdir((dir + "/d" + std::to_string(d)).c_str(), 0755);
    const uint64_t total = static_cast<uint64_t>(mb) << 20;
    uint64_t seed = 0x9E3779B97F4A7C15ull;
    std::vector<char> buf;
    uint64_t written = 0;
    for (int i = 0; i < files; ++i) {
        // Sizes vary around the mean (half to one and a half times it).
        const uint64_t mean = total / files;
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        uint64_t size = mean / 2 + (seed >> 33) % (mean + 1);
        if (i == files - 1) size = total > written ? total - written : 0;
        buf.resize(size);
        for (uint64_t k = 0; k < size; ++k) {
            seed = seed * 6364136223846793005ull + 1442695040888963407ull;
            buf[k] = static_cast<char>(seed >> 56);
        }
        const std::string p = dir + "/d" + std::to_string(i % 10) + "/file" + std::to_string(i) + ".bin";
        FILE* f = std::fopen(p.c_str(), "wb");
        if (!f) return 1;
        std::fwrite(buf.data(), 1, buf.size(), f);
        std::fclose(f);
        written += size;
    }
    return 0;
}

int Unpack(const std::string& packPath, const std::string& dest) {
    char readBuffer[pack::kStreamBufferSize], writeBuffer[pack::kStreamBufferSize];
    CPackReader r;
    if (!r.Open(packPath.c_str(), readBuffer, sizeof readBuffer)) return 1;
    r.ReadHeader();
    int n = 0;
    for (;;) {
        const engine::PackStepOutcome o = engine::WritePackRecord(r, dest.c_str(), writeBuffer, sizeof writeBuffer);
        if (o.result == engine::PackStepOutcome::Result::packEnd) break;
        if (o.result != engine::PackStepOutcome::Result::written) {
            std::fprintf(stderr, "record %d failed (%d)\n", n, static_cast<int>(o.result));
            return 1;
        }
        ++n;
    }
    return 0;
}

int Time(char** argv) {
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[0], argv);
        _exit(127);
    }
    int status = 0;
    struct rusage ru = {};
    wait4(pid, &status, 0, &ru);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
    std::printf("%.4f %.4f %ld\n", wall, cpu, ru.ru_maxrss);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 5 && !std::strcmp(argv[1], "data")) return Data(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
    if (argc == 4 && !std::strcmp(argv[1], "unpack")) return Unpack(argv[2], argv[3]);
    if (argc >= 3 && !std::strcmp(argv[1], "time")) return Time(argv + 2);
    std::fprintf(stderr, "usage: pack_bench data DIR FILES MB | unpack PACK DEST | time CMD...\n");
    return 2;
}
