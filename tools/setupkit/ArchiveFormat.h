// Archive formats that `setupkit list` and `setupkit extract` understand.
// Each format lives in a file of its own and registers itself with a static
// ArchiveFormat object; the commands pick one by its option (the format
// without an option is the default).
#pragma once
#include <string>
#include <vector>

struct ArchiveFormat {
    // Lists every entry of archive on stdout; returns the exit code.
    using ListFn = int (*)(const std::string& archive);
    // Writes every entry of archive below dir; returns the exit code.
    using ExtractFn = int (*)(const std::string& archive, const std::string& dir);
    // option: "" for the default format, else the option that selects it
    // ("--pack"); description: one line for the commands' help.
    ArchiveFormat(const char* option, const char* description, ListFn list, ExtractFn extract);
    const char* option;
    const char* description;
    ListFn list;
    ExtractFn extract;
};

const std::vector<const ArchiveFormat*>& ArchiveFormats();

// Splits args into a format (by option) and the remaining arguments.
// Returns nullptr, having printed a usage error, when an option is unknown.
const ArchiveFormat* ChooseArchiveFormat(const std::vector<std::string>& args, std::vector<std::string>& rest);

// True unless the file can be read and is no ZIP archive (a pack file has
// no signature: without an option such a file is read with "--pack").
bool LooksLikeZip(const std::string& path);

// Prints "setupkit: ARCHIVE: message" on stderr and returns exit code 1.
int ArchiveError(const std::string& archive, const std::string& message);
