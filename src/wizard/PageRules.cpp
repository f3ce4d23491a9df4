#include "wizard/PageRules.h"

#include <cstring>

#include "config/Ascii.h"
#include "config/Sizes.h"

std::string DestinationSentence(const char* name) {
    std::string s = "Setup will install ";
    s += (name && *name) ? name : "the program";
    s += " in the following folder.";
    return s;
}

bool IsChineseEntry(const char* text) {
    if (!text) return false;
    auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; };
    const char* b = text;
    const char* e = text + std::strlen(text);
    while (b < e && space(*b)) ++b;
    while (e > b && space(e[-1])) --e;
    static const char kWord[] = "CHINESE";
    if (static_cast<size_t>(e - b) != sizeof kWord - 1) return false;
    for (size_t i = 0; i < sizeof kWord - 1; ++i) {
        if (AsciiUpper(b[i]) != kWord[i]) return false;
    }
    return true;
}

void AppendWithCrLf(std::wstring& out, const wchar_t* s, size_t n) {
    out.reserve(out.size() + n);
    for (size_t i = 0; i < n; ++i) {
        if (s[i] == L'\n') out += L'\r';
        out += s[i];
    }
}

int NumberedEntryCount(int number) {
    if (number <= 0) return 0;
    return number > sizes::kMaxNumberedEntries ? sizes::kMaxNumberedEntries : number;
}
