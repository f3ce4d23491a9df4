// Profile reader following the Windows profile API's rules as Wine
// implements them:
// - a line ends at CR or LF (any run of them);
// - blanks (tab, LF, VT, FF, CR, ^Z, space) are trimmed around lines, names
//   and values;
// - "[name]" starts a section (the name is what lies between '[' and the
//   first ']', untrimmed); a '[' line without ']' is an ordinary line;
// - a line without '=' is a key without value, which reads as the default;
//   ';' lines are nothing special;
// - entries before the first section belong to a section with empty name;
// - names match without regard to case; the first matching section and, in
//   it, the first matching key win;
// - on reading, one pair of matching quotes around the value is removed and
//   the value is cut to size - 1 characters.
#include "app/Profile.h"

#include <cstdio>
#include <cstring>

#include "fw/File.h"

namespace {

bool IsBlank(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r') || c == 0x1a; }

unsigned char Lower(unsigned char c) { return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c; }

// Compares a stored name with a requested one (already trimmed). A NUL
// inside the stored name ends it, as it does in the system's reader.
bool NameMatches(const std::string& stored, const char* wanted, size_t wantedLen) {
    size_t storedLen = std::strlen(stored.c_str());
    if (storedLen != wantedLen) return false;
    for (size_t i = 0; i < wantedLen; ++i)
        if (Lower(static_cast<unsigned char>(stored[i])) != Lower(static_cast<unsigned char>(wanted[i]))) return false;
    return true;
}

// Trims blanks around a requested name; returns its start and length.
const char* TrimRequest(const char* s, size_t& len) {
    if (!s) {
        len = 0;
        return "";
    }
    while (*s && IsBlank(static_cast<unsigned char>(*s))) ++s;
    len = std::strlen(s);
    while (len > 0 && IsBlank(static_cast<unsigned char>(s[len - 1]))) --len;
    return s;
}

// Copies a value the way the system's reader does: a value that starts and
// ends with the same quote character (and is longer than one character) loses
// the opening quote, then at most size - 1 characters are copied, and the
// closing quote is removed only when the copy reached it. (When the value
// without its opening quote is exactly size characters long, that removes
// one character of the value too: the system behaves so, and we read files
// as it does.)
std::string CopyEntry(const char* value, unsigned size) {
    if (size == 0) return std::string();
    char quote = 0;
    size_t vlen = std::strlen(value);
    if ((value[0] == '\'' || value[0] == '"') && value[1] && value[vlen - 1] == value[0]) {
        quote = value[0];
        ++value;
        --vlen;
    }
    size_t n = vlen < size - 1 ? vlen : size - 1;
    std::string out(value, n);
    if (quote && size >= vlen && !out.empty()) out.pop_back();
    return out;
}

}  // namespace

const ProfileSection* ProfileFile::FindSection(const char* name) const {
    size_t len;
    const char* want = TrimRequest(name, len);
    for (const ProfileSection& s : sections)
        if (NameMatches(s.name, want, len)) return &s;
    return nullptr;
}

const ProfileEntry* ProfileFile::FindEntry(const char* section, const char* key) const {
    const ProfileSection* s = FindSection(section);
    if (!s) return nullptr;
    size_t len;
    const char* want = TrimRequest(key, len);
    for (const ProfileEntry& e : s->entries)
        if (NameMatches(e.name, want, len)) return &e;
    return nullptr;
}

ProfileFile ParseProfile(const char* data, size_t size) {
    ProfileFile file;
    file.sections.emplace_back();  // entries before any section header
    const char* p = data;
    const char* end = data + size;
    if (size >= 3 && static_cast<unsigned char>(p[0]) == 0xEF && static_cast<unsigned char>(p[1]) == 0xBB &&
        static_cast<unsigned char>(p[2]) == 0xBF)
        p += 3;  // UTF-8 byte-order mark
    int nextLine = 1;
    const ProfileEntry* prev = nullptr;
    while (p < end) {
        const int thisLine = nextLine;
        const char* start = p;
        while (p < end && *p != '\n' && *p != '\r') ++p;
        const char* stop = p;
        while (p < end && (*p == '\n' || *p == '\r')) {
            // For line numbers, CR LF is one break; CR CR or LF LF are two.
            if (*p == '\r' && p + 1 < end && p[1] == '\n') ++p;
            ++p;
            ++nextLine;
        }
        while (start < stop && IsBlank(static_cast<unsigned char>(*start))) ++start;
        while (stop > start && IsBlank(static_cast<unsigned char>(stop[-1]))) --stop;
        if (start >= stop) continue;

        if (*start == '[') {
            const char* close = start + 1;
            while (close < stop && *close != ']') ++close;
            if (close < stop) {
                ProfileSection s;
                s.name.assign(start + 1, close);
                s.line = thisLine;
                file.sections.push_back(std::move(s));
                prev = nullptr;
                continue;
            }
        }
        const char* eq = start;
        while (eq < stop && *eq != '=') ++eq;
        ProfileEntry e;
        e.line = thisLine;
        if (eq < stop) {
            const char* nameEnd = eq;
            while (nameEnd > start && IsBlank(static_cast<unsigned char>(nameEnd[-1]))) --nameEnd;
            e.name.assign(start, nameEnd);
            const char* v = eq + 1;
            while (v < stop && IsBlank(static_cast<unsigned char>(*v))) ++v;
            e.value.assign(v, stop);
            e.hasValue = true;
        } else {
            e.name.assign(start, stop);
        }
        // The system's reader drops a line with an empty name that follows
        // another entry with an empty name.
        if (e.name.empty() && prev && prev->name.empty()) continue;
        file.sections.back().entries.push_back(std::move(e));
        prev = &file.sections.back().entries.back();
    }
    return file;
}

ProfileFile LoadProfile(const char* path) {
    std::string data;
    try {
        CFile f(path, CFile::modeRead);
        char buf[65536];
        for (;;) {
            unsigned n = f.Read(buf, sizeof buf);
            if (n == 0) break;
            data.append(buf, n);
        }
    } catch (const CFileException&) {
        return ProfileFile();
    }
    return ParseProfile(data.data(), data.size());
}

std::string ProfileValueText(const ProfileEntry* entry, unsigned size) {
    const char* value = (entry && entry->hasValue) ? entry->value.c_str() : "";
    return CopyEntry(value, size);
}

unsigned ReadProfileString(const char* path, const char* section, const char* key, char* buffer, unsigned size) {
    if (!buffer || size == 0) return 0;
    ProfileFile file = LoadProfile(path);
    std::string text = ProfileValueText(file.FindEntry(section, key), size);
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<unsigned>(text.size());
}

int ProfileTextToInt(const char* s) {
    // The system reads the value into a 30-character buffer first.
    std::string text = CopyEntry(s, 30);
    const char* p = text.c_str();
    if (!*p) return 0;
    while (*p && static_cast<unsigned char>(*p) <= ' ') ++p;
    bool minus = false;
    if (*p == '+') ++p;
    else if (*p == '-') {
        minus = true;
        ++p;
    }
    unsigned base = 10;
    if (p[0] == '0' && p[1] == 'x') base = 16, p += 2;
    else if (p[0] == '0' && p[1] == 'o') base = 8, p += 2;
    else if (p[0] == '0' && p[1] == 'b') base = 2, p += 2;
    uint32_t total = 0;
    for (;; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        unsigned digit;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (c >= 'A' && c <= 'Z') digit = c - 'A' + 10u;
        else if (c >= 'a' && c <= 'z') digit = c - 'a' + 10u;
        else break;
        if (digit >= base) break;
        total = total * base + digit;
    }
    if (minus) total = 0u - total;
    return static_cast<int>(total);
}

int ReadProfileInt(const char* path, const char* section, const char* key) {
    ProfileFile file = LoadProfile(path);
    const ProfileEntry* e = file.FindEntry(section, key);
    if (!e || !e->hasValue) return 0;
    return ProfileTextToInt(e->value.c_str());
}
