// setupkit get / getint: show how the setup understands one key.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "Command.h"
#include "config/Profile.h"

namespace {

int RunGet(const std::vector<std::string>& args) {
    std::vector<std::string> a = args;
    if (std::string e = TakeCodePageOption(a); !e.empty()) return UsageError(e);
    if (a.size() < 3 || a.size() > 4) return UsageError("get needs INI SECTION KEY [SIZE]");
    unsigned long size = 20;
    if (a.size() == 4) {
        char* end = nullptr;
        size = std::strtoul(a[3].c_str(), &end, 10);
        if (!end || *end || size == 0 || size > 1000000) return UsageError("SIZE must be a number from 1 to 1000000");
    }
    std::vector<char> buf(size, 0);
    ReadProfileString(a[0].c_str(), a[1].c_str(), a[2].c_str(), buf.data(), static_cast<unsigned>(size));
    std::printf("%s\n", buf.data());
    return 0;
}

int RunGetInt(const std::vector<std::string>& args) {
    std::vector<std::string> a = args;
    if (std::string e = TakeCodePageOption(a); !e.empty()) return UsageError(e);
    if (a.size() != 3) return UsageError("getint needs INI SECTION KEY");
    std::printf("%d\n", ReadProfileInt(a[0].c_str(), a[1].c_str(), a[2].c_str()));
    return 0;
}

const SetupkitCommand get("get", "[--codepage N] INI SECTION KEY [SIZE]", "print the text the setup reads for a key",
                          "Prints the text that setup.exe reads for [SECTION] KEY of the configuration\n"
                          "file INI with a buffer of SIZE bytes (default 20), that is at most SIZE - 1\n"
                          "characters, then a newline. A missing file, section or key prints an empty\n"
                          "line, as the setup then reads an empty text.\n"
                          "\noptions:\n" SETUPKIT_CODEPAGE_HELP,
                          RunGet);
const SetupkitCommand getint("getint", "[--codepage N] INI SECTION KEY", "print the integer the setup reads for a key",
                             "Prints the integer that setup.exe reads for [SECTION] KEY of the\n"
                             "configuration file INI, as a signed 32-bit decimal. A missing or empty\n"
                             "value reads as 0.\n"
                             "\noptions:\n" SETUPKIT_CODEPAGE_HELP,
                             RunGetInt);

}  // namespace
