#include "ArchiveFormat.h"

#include <cstdio>
#include <map>

#include "Command.h"
#include "setupkit/lib/Package.h"

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

const ArchiveFormat* ChooseArchiveFormat(const std::vector<std::string>& args, std::vector<std::string>& rest,
                                         bool& guessed) {
    std::string option;
    rest.clear();
    guessed = false;
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
    if (option.empty() && !rest.empty() && !LooksLikeZip(rest[0])) {
        option = "--pack";
        guessed = true;
    }
    for (const ArchiveFormat* f : ArchiveFormats())
        if (option == f->option) return f;
    UsageError(option.empty() ? "no default archive format" : "unknown option '" + option + "'");
    return nullptr;
}

std::string FindEntryClash(const std::vector<std::string>& names, const char* noun) {
    struct Seen {
        std::string entry;     // the entry's name as stored
        std::string spelling;  // the path as this entry spells it
    };
    std::map<std::string, Seen> files, folders;  // lower-case path, '/' separated
    for (const std::string& name : names) {
        std::string key, spelling, part;
        const bool folderEntry = !name.empty() && (name.back() == '/' || name.back() == '\\');
        for (size_t i = 0; i <= name.size(); ++i) {
            if (i < name.size() && name[i] != '/' && name[i] != '\\') {
                part += name[i];
                continue;
            }
            if (part.empty() || part == ".") {
                part.clear();
                continue;
            }
            key += (key.empty() ? "" : "/") + LowerAscii(part);
            spelling = name.substr(0, i);
            part.clear();
            const bool file = i == name.size() && !folderEntry;
            auto& mine = file ? files : folders;
            const auto& theirs = file ? folders : files;
            auto other = theirs.find(key);
            if (other != theirs.end()) {
                const std::string& first = other->second.spelling;
                return std::string("the ") + noun + " '" + other->second.entry + "' and '" + name + "' clash: '" +
                       (first == spelling ? first + "' cannot be both"
                                          : first + "' and '" + spelling + "' are one name on Windows and cannot be both") +
                       " a file and a folder";
            }
            mine.emplace(key, Seen{name, spelling});
        }
    }
    return {};
}

int ArchiveError(const std::string& archive, const std::string& message) {
    std::fprintf(stderr, "setupkit: %s: %s\n", archive.c_str(), message.c_str());
    return 1;
}
