// setupkit: the vendor's tool for preparing an installation medium.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Command.h"
#include "config/CodePage.h"
#include "config/Profile.h"

namespace {
std::vector<const SetupkitCommand*>& Registry() {
    static std::vector<const SetupkitCommand*> list;
    return list;
}

void PrintOverview(FILE* out) {
    std::fprintf(out,
                 "setupkit - prepare and check an installation medium for setup.exe\n\n"
                 "usage: setupkit COMMAND [ARGS...]\n"
                 "       setupkit COMMAND --help\n\ncommands:\n");
    for (const SetupkitCommand* c : SetupkitCommands())
        std::fprintf(out, "  %-8s %s\n           %s\n", c->name, c->usage, c->summary);
}
}  // namespace

SetupkitCommand::SetupkitCommand(const char* n, const char* u, const char* s, const char* h, Handler r)
    : name(n), usage(u), summary(s), help(h), run(r) {
    Registry().push_back(this);
}

const std::vector<const SetupkitCommand*>& SetupkitCommands() { return Registry(); }

int UsageError(const std::string& message) {
    std::fprintf(stderr, "setupkit: %s\n", message.c_str());
    return 2;
}

std::string TakeCodePageOption(std::vector<std::string>& args) {
    unsigned long codePage = 1252;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] != "--codepage") continue;
        if (i + 1 >= args.size()) return "--codepage needs a number";
        char* end = nullptr;
        codePage = std::strtoul(args[i + 1].c_str(), &end, 10);
        if (args[i + 1].empty() || *end || codePage == 0 || codePage > 65535 ||
            !CodePageSupported(static_cast<unsigned>(codePage)))
            return "code page " + args[i + 1] + " is not known here";
        args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
        --i;
    }
    SetProfileCodePage(static_cast<unsigned>(codePage));
    return std::string();
}

int main(int argc, char** argv) {
    if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h") || !std::strcmp(argv[1], "help")) {
        PrintOverview(stdout);
        return argc < 2 ? 2 : 0;
    }
    for (const SetupkitCommand* c : SetupkitCommands()) {
        if (std::strcmp(c->name, argv[1]) != 0) continue;
        std::vector<std::string> args(argv + 2, argv + argc);
        for (const std::string& a : args) {
            if (a == "--help" || a == "-h") {
                std::printf("usage: setupkit %s %s\n\n%s\n", c->name, c->usage, c->help);
                return 0;
            }
        }
        return c->run(args);
    }
    std::fprintf(stderr, "setupkit: unknown command '%s'\n\n", argv[1]);
    PrintOverview(stderr);
    return 2;
}
