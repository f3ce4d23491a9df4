// A progress bar on stderr for long commands: shown only when stderr is a
// terminal and only once the work has taken more than a second, redrawn at
// most ten times a second.
#pragma once
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#ifdef _WIN32
#include <io.h>
#define SETUPKIT_ISATTY(fd) _isatty(fd)
#else
#include <unistd.h>
#define SETUPKIT_ISATTY(fd) isatty(fd)
#endif

class ProgressBar {
public:
    explicit ProgressBar(std::string label)
        : label_(std::move(label)), tty_(SETUPKIT_ISATTY(2) != 0), start_(Clock::now()), last_(start_) {}
    ~ProgressBar() { Clear(); }

    void Update(uint64_t done, uint64_t total) {
        if (!tty_) return;
        Clock::time_point now = Clock::now();
        if (now - start_ < std::chrono::seconds(1)) return;
        if (shown_ && now - last_ < std::chrono::milliseconds(100) && done < total) return;
        last_ = now;
        const int width = 30;
        int percent = total ? static_cast<int>(done * 100 / total) : 100;
        int fill = percent * width / 100;
        std::fprintf(stderr, "\r%s [%s%s] %3d%%  %.1f/%.1f MB", label_.c_str(), std::string(fill, '#').c_str(),
                     std::string(width - fill, ' ').c_str(), percent, static_cast<double>(done) / 1048576.0,
                     static_cast<double>(total) / 1048576.0);
        std::fflush(stderr);
        shown_ = true;
    }
    void Clear() {
        if (!shown_) return;
        std::fprintf(stderr, "\r%s\r", std::string(label_.size() + 60, ' ').c_str());
        std::fflush(stderr);
        shown_ = false;
    }

private:
    using Clock = std::chrono::steady_clock;
    std::string label_;
    bool tty_;
    bool shown_ = false;
    Clock::time_point start_, last_;
};
