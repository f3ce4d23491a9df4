#include "ArchiveFormat.h"

#include <cstdio>

#include "Command.h"

namespace {
std::vector<const ArchiveFormat*>& Registry() {
    static std::vector<const ArchiveFormat*> list;
    return list;
}
}  // namespace

ArchiveFormat::ArchiveFormat(const char* o, const char* d, ListFn l, ExtractFn e)
    : option(o), description(d), list(l), extract(e) {
    Registry().push_back(this);
}

const std::vector<const ArchiveFormat*>& ArchiveFormats() { return Registry(); }

const ArchiveFormat* ChooseArchiveFormat(const std::vector<std::string>& args, std::vector<std::string>& rest) {
    std::string option;
    rest.clear();
    for (const std::string& a : args) {
        if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
            if (!option.empty()) {
                UsageError("only one format option may be given");
                return nullptr;
            }
            option = a;
        } else {
            rest.push_back(a);
        }
    }
    if (option.empty() && !rest.empty() && !LooksLikeZip(rest[0])) option = "--pack";
    for (const ArchiveFormat* f : ArchiveFormats())
        if (option == f->option) return f;
    UsageError(option.empty() ? "no default archive format" : "unknown option '" + option + "'");
    return nullptr;
}

int ArchiveError(const std::string& archive, const std::string& message) {
    std::fprintf(stderr, "setupkit: %s: %s\n", archive.c_str(), message.c_str());
    return 1;
}
