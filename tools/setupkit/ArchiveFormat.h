// Archive formats that `setupkit list` and `setupkit extract` understand.
// Each format lives in a file of its own and registers itself with a static
// ArchiveFormat object; the commands pick one by its option (the format
// without an option is the default).
#pragma once
#include <string>
#include <vector>

struct ArchiveFormat {
    // Lists every entry of archive on stdout; returns the exit code.
    // guessed: no option chose the format, the file's content did (a file
    // that is no ZIP archive is read as a pack).
    using ListFn = int (*)(const std::string& archive, bool guessed);
    // Writes every entry of archive below dir; returns the exit code.
    using ExtractFn = int (*)(const std::string& archive, const std::string& dir, bool guessed);
    // option: "" for the default format, else the option that selects it
    // ("--pack"); description: one line for the commands' help.
    ArchiveFormat(const char* option, const char* description, ListFn list, ExtractFn extract);
    const char* option;
    const char* description;
    ListFn list;
    ExtractFn extract;
};

const std::vector<const ArchiveFormat*>& ArchiveFormats();

// Splits args into a format (by option, or guessed from the file named
// first) and the remaining arguments. Returns nullptr, having printed a
// usage error, when an option is unknown.
const ArchiveFormat* ChooseArchiveFormat(const std::vector<std::string>& args, std::vector<std::string>& rest,
                                         bool& guessed);

// True unless the file can be read and is no ZIP archive (a pack file has
// no signature: without an option such a file is read with "--pack").
bool LooksLikeZip(const std::string& path);

// Entries that cannot all be written because one needs a folder where
// another is a file ("a/b" and "a/b/", or "a/b" and "a/b/c"; names are
// compared without regard to case, as Windows does): a sentence naming
// both ("the <noun> ... clash"), or "" when there is no such pair. '/' and
// '\\' both separate.
std::string FindEntryClash(const std::vector<std::string>& names, const char* noun = "entries");

// Prints "setupkit: ARCHIVE: message" on stderr and returns exit code 1.
int ArchiveError(const std::string& archive, const std::string& message);
