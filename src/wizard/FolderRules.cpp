#include "wizard/FolderRules.h"

#include <cstring>

namespace {
bool IsBlankOrDot(char c) { return c == '\t' || c == ' ' || c == '.'; }
bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::string Framed(const char* path, const char* tail) {
    std::string text = "The folder:\n\n";
    text += path ? path : "";
    text += "\n\n";
    text += tail;
    return text;
}
}  // namespace

std::string FolderQuestionText(const char* path) {
    return Framed(path, "does not exist. Do you want the folder to be created?");
}
std::string FolderInvalidText(const char* path) { return Framed(path, "is invalid. Please reenter."); }
std::string FolderNotCreatedText(const char* path) {
    return Framed(path, "can not be created. Please double check.");
}
std::string FolderTooLongText(const char* path, size_t maxLength) {
    const std::string tail = "is too long (" + std::to_string(path ? std::strlen(path) : 0) +
                             " characters). Please choose a folder of at most " + std::to_string(maxLength) +
                             " characters.";
    return Framed(path, tail.c_str());
}

bool IsValidFolderName(const char* name) {
    if (!name || !*name) return false;
    size_t len = std::strlen(name);
    if (IsBlankOrDot(name[0]) || IsBlankOrDot(name[len - 1])) return false;
    return std::strpbrk(name, "\"*/:<>?\\|") == nullptr;
}

int CheckFolderPath(const char* path, bool checkOnly, FolderOps& ops) {
    if (!path) return kFolderInvalid;
    const size_t len = std::strlen(path);
    if (len > kMaxFolderPath) return kFolderInvalid;
    if (len < 3) return kFolderInvalid;
    if (!IsAsciiLetter(path[0]) || path[1] != ':' || path[2] != '\\') return kFolderInvalid;

    std::string work(path);
    if (len == 3) {
        if (checkOnly) return kFolderOk;
        return ops.Exists(work.c_str()) ? kFolderOk : kFolderNotCreated;
    }

    size_t start = 3;
    for (;;) {
        size_t end = work.find('\\', start);
        const bool last = end == std::string::npos;
        if (last) end = work.size();
        // The level's own name, and the path up to and including it.
        const std::string name = work.substr(start, end - start);
        if (!IsValidFolderName(name.c_str())) return kFolderInvalid;
        if (!checkOnly) {
            const std::string upTo = work.substr(0, end);
            ops.CreateDir(upTo.c_str());
            if (!ops.Exists(upTo.c_str())) return kFolderNotCreated;
        }
        if (last) return kFolderOk;
        start = end + 1;
        if (start == work.size()) return kFolderInvalid;  // ends in a backslash
    }
}

int ValidateFolder(const char* path, FolderOps& ops) {
    int r = CheckFolderPath(path, true, ops);
    if (r == kFolderOk) {
        if (ops.Exists(path)) return kFolderOk;
        if (!ops.AskYesNo(FolderQuestionText(path))) return kFolderDeclined;
        r = CheckFolderPath(path, false, ops);
        if (r == kFolderOk) return kFolderOk;
    }
    ops.ShowMessage(r == kFolderInvalid ? FolderInvalidText(path) : FolderNotCreatedText(path));
    return r;
}
