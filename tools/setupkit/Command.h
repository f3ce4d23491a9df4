// The vendor tool's commands. Each command lives in a file of its own and
// registers itself with a static SetupkitCommand object, so that adding a
// command never touches the others.
#pragma once
#include <string>
#include <vector>

struct SetupkitCommand {
    using Handler = int (*)(const std::vector<std::string>& args);
    // name: the verb; usage: one line of arguments; summary: one sentence;
    // help: the full text of `setupkit NAME --help`.
    SetupkitCommand(const char* name, const char* usage, const char* summary, const char* help, Handler run);
    const char* name;
    const char* usage;
    const char* summary;
    const char* help;
    Handler run;
};

const std::vector<const SetupkitCommand*>& SetupkitCommands();

// Prints "setupkit: message" on stderr and returns exit code 2 (usage errors).
int UsageError(const std::string& message);

// Takes "--codepage N" out of args and makes the configuration reader deliver
// the text of files with a byte-order mark in code page N (default 1252).
// Returns an empty text, or the usage error.
std::string TakeCodePageOption(std::vector<std::string>& args);

// The help text of that option.
#define SETUPKIT_CODEPAGE_HELP                                                     \
    "  --codepage N  the ANSI code page of the PC (default 1252; 936 for\n"        \
    "                Chinese): a morlan.ini with a byte-order mark (UTF-8 or\n"    \
    "                UTF-16) is read in it, as the setup reads it there;\n"        \
    "                other files are read byte for byte\n"
