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
