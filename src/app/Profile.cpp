// Profile reader following the Windows profile API's rules as Wine
// implements them (checked against it by the Windows tests):
// - the text is ANSI, unless it starts with a byte-order mark: UTF-8
//   (EF BB BF), UTF-16 little-endian (FF FE) or big-endian (FE FF); such
//   text is converted to the ANSI code page (Windows-1252 here) first;
// - a line ends at CR or LF (any run of them);
// - blanks (tab, LF, VT, FF, CR, ^Z, space) are trimmed around lines, names
//   and values;
// - "[name]" starts a section: the name lies between the '[' and the line's
//   last ']', blanks trimmed; a '[' line without ']' is an ordinary line;
// - a line without '=' is a key without value, which reads as the default;
//   ';' lines are nothing special;
// - entries before the first section belong to a section with empty name;
// - names match without regard to case (ASCII letters) and end at a NUL;
//   the first matching section and, in it, the first matching key win;
// - on reading, one pair of matching quotes around the value is removed and
//   the value is cut to size - 1 characters.
#include "app/Profile.h"

#include <cstdint>
#include <cstring>

#include "fw/File.h"

namespace {

bool IsBlank(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r') || c == 0x1a; }

unsigned char Lower(unsigned char c) { return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c; }

// Compares a stored name [b, e) with a requested one (already trimmed). A
// NUL inside the stored name ends it, as it does in the system's reader.
bool NameMatches(const char* b, const char* e, const char* wanted, size_t wantedLen) {
    const void* nul = std::memchr(b, 0, static_cast<size_t>(e - b));
    if (nul) e = static_cast<const char*>(nul);
    if (static_cast<size_t>(e - b) != wantedLen) return false;
    for (size_t i = 0; i < wantedLen; ++i)
        if (Lower(static_cast<unsigned char>(b[i])) != Lower(static_cast<unsigned char>(wanted[i]))) return false;
    return true;
}

bool NameMatches(const std::string& stored, const char* wanted, size_t wantedLen) {
    return NameMatches(stored.data(), stored.data() + stored.size(), wanted, wantedLen);
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

// ---------------------------------------------------------------- encodings

// The Windows-1252 bytes 0x80..0x9F as Unicode (the five unassigned ones map
// to the C1 control of the same number, as the system's tables do).
const uint16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// One UTF-16 code unit as an ANSI byte; what the code page cannot show
// becomes '?'.
char ToAnsi(uint32_t u) {
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return static_cast<char>(u);
    for (unsigned i = 0; i < 32; ++i)
        if (kCp1252High[i] == u) return static_cast<char>(0x80 + i);
    return '?';
}

std::string FromUtf16(const unsigned char* p, size_t size, bool bigEndian) {
    std::string out;
    out.reserve(size / 2);
    for (size_t i = 0; i + 1 < size; i += 2) {
        uint32_t u = bigEndian ? (p[i] << 8 | p[i + 1]) : (p[i + 1] << 8 | p[i]);
        out += ToAnsi(u);
    }
    return out;
}

// UTF-8 to ANSI, one character for each UTF-16 code unit the system's
// conversion gives: a character beyond the basic plane is two units (so
// two '?'), and each malformed sequence is one replacement character ('?').
// A malformed sequence is the lead byte and the continuation bytes read
// before the fault showed, as the system's decoder counts them.
std::string FromUtf8(const unsigned char* p, size_t size) {
    std::string out;
    out.reserve(size);
    size_t i = 0;
    while (i < size) {
        unsigned char c = p[i++];
        if (c < 0x80) {
            out += static_cast<char>(c);
            continue;
        }
        // Continuation bytes that follow the lead byte.
        const size_t len = c >= 0xF0 && c <= 0xF4 ? 3 : c >= 0xE0 && c <= 0xEF ? 2 : c >= 0xC2 && c <= 0xDF ? 1 : 0;
        bool ok = false;
        uint32_t u = 0;
        if (len > size - i) {
            // Cut off by the end of the text: one replacement in all.
            while (i < size && (p[i] ^ 0x80u) < 0x40) ++i;
        } else if (len > 0) {
            u = c & (len == 3 ? 0x07u : len == 2 ? 0x0Fu : 0x1Fu);
            size_t need = len;
            ok = true;
            while (need > 0) {
                unsigned t = p[i] ^ 0x80u;
                if (t >= 0x40) {
                    ok = false;
                    break;
                }
                u = u << 6 | t;
                ++i;
                --need;
                // Overlong forms, code points above U+10FFFF and surrogates
                // show after the first continuation byte.
                if ((len == 3 && need == 2 && (u < 0x10 || u >= 0x110)) ||
                    (len == 2 && need == 1 && (u < 0x20 || (u >= 0x360 && u < 0x380)))) {
                    ok = false;
                    break;
                }
            }
        }
        if (!ok) out += '?';
        else if (u >= 0x10000) out += "??";
        else out += ToAnsi(u);
    }
    return out;
}

bool HasByteOrderMark(const char* data, size_t size) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(data);
    return (size >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) ||
           (size >= 2 && ((p[0] == 0xFF && p[1] == 0xFE) || (p[0] == 0xFE && p[1] == 0xFF)));
}

// The file's bytes as the ANSI text that is parsed.
std::string DecodeText(const char* data, size_t size) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(data);
    if (size >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) return FromUtf8(p + 3, size - 3);
    if (size >= 2 && p[0] == 0xFF && p[1] == 0xFE) return FromUtf16(p + 2, size - 2, false);
    if (size >= 2 && p[0] == 0xFE && p[1] == 0xFF) return FromUtf16(p + 2, size - 2, true);
    return std::string(data, size);
}

// ---------------------------------------------------------------- lines

// One meaningful line: a section header or an entry. Pointers point into
// the parsed text.
struct Line {
    int number = 0;
    bool isSection = false;
    const char* nameBegin = nullptr;
    const char* nameEnd = nullptr;
    bool hasValue = false;
    const char* valueBegin = nullptr;
    const char* valueEnd = nullptr;
};

class LineReader {
public:
    LineReader(const char* data, size_t size) : p_(data), end_(data + size) {}

    // The next non-blank line, or false at the end of the text.
    bool Next(Line& line) {
        while (p_ < end_) {
            const int thisLine = nextLine_;
            const char* start = p_;
            while (p_ < end_ && *p_ != '\n' && *p_ != '\r') ++p_;
            const char* stop = p_;
            while (p_ < end_ && (*p_ == '\n' || *p_ == '\r')) {
                // For line numbers, CR LF is one break; CR CR or LF LF are two.
                if (*p_ == '\r' && p_ + 1 < end_ && p_[1] == '\n') ++p_;
                ++p_;
                ++nextLine_;
            }
            while (start < stop && IsBlank(static_cast<unsigned char>(*start))) ++start;
            while (stop > start && IsBlank(static_cast<unsigned char>(stop[-1]))) --stop;
            if (start >= stop) continue;

            line = Line();
            line.number = thisLine;
            if (*start == '[') {
                const char* close = stop;
                while (close > start && close[-1] != ']') --close;
                if (close > start + 1) {
                    const char* b = start + 1;
                    const char* e = close - 1;
                    while (b < e && IsBlank(static_cast<unsigned char>(*b))) ++b;
                    while (e > b && IsBlank(static_cast<unsigned char>(e[-1]))) --e;
                    line.isSection = true;
                    line.nameBegin = b;
                    line.nameEnd = e;
                    return true;
                }
            }
            const char* eq = static_cast<const char*>(std::memchr(start, '=', static_cast<size_t>(stop - start)));
            line.nameBegin = start;
            if (eq) {
                const char* nameEnd = eq;
                while (nameEnd > start && IsBlank(static_cast<unsigned char>(nameEnd[-1]))) --nameEnd;
                line.nameEnd = nameEnd;
                const char* v = eq + 1;
                while (v < stop && IsBlank(static_cast<unsigned char>(*v))) ++v;
                line.hasValue = true;
                line.valueBegin = v;
                line.valueEnd = stop;
            } else {
                line.nameEnd = stop;
            }
            return true;
        }
        return false;
    }

private:
    const char* p_;
    const char* end_;
    int nextLine_ = 1;
};

// Reads a whole file; a missing or unreadable file reads as empty.
std::string ReadWholeFile(const char* path) {
    std::string data;
    if (!path || !*path) return data;
    try {
        CFile f(path, CFile::modeRead);
        char buf[65536];
        for (;;) {
            unsigned n = f.Read(buf, sizeof buf);
            if (n == 0) break;
            data.append(buf, n);
        }
    } catch (const CFileException&) {
        return std::string();
    }
    return data;
}

// Finds [section] key the way the system's reader does. Returns false when
// the key is missing; otherwise value (NUL-terminated copy) and hasValue.
bool FindValue(const char* text, size_t textSize, const char* section, const char* key, std::string& value,
               bool& hasValue) {
    size_t secLen, keyLen;
    const char* sec = TrimRequest(section, secLen);
    const char* k = TrimRequest(key, keyLen);
    LineReader reader(text, textSize);
    Line line;
    // Entries before the first header belong to the section with empty name.
    bool inSection = secLen == 0;
    while (reader.Next(line)) {
        if (line.isSection) {
            if (inSection) return false;  // only the first matching section counts
            inSection = NameMatches(line.nameBegin, line.nameEnd, sec, secLen);
            continue;
        }
        if (!inSection || !NameMatches(line.nameBegin, line.nameEnd, k, keyLen)) continue;
        hasValue = line.hasValue;
        if (line.hasValue) value.assign(line.valueBegin, line.valueEnd);
        return true;
    }
    return false;
}

// Copies a value the way the system's reader does: a value that starts and
// ends with the same quote character (and is longer than one character) loses
// the opening quote, then at most size - 1 characters are copied, and the
// closing quote is removed only when the copy reached it. (When the value
// without its opening quote is exactly size characters long, that removes
// one character of the value too: the system behaves so, and we read files
// as it does.) A NUL in the value ends it.
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
    const std::string text = DecodeText(data, size);
    LineReader reader(text.data(), text.size());
    Line line;
    const ProfileEntry* prev = nullptr;
    while (reader.Next(line)) {
        if (line.isSection) {
            ProfileSection s;
            s.name.assign(line.nameBegin, line.nameEnd);
            s.line = line.number;
            file.sections.push_back(std::move(s));
            prev = nullptr;
            continue;
        }
        ProfileEntry e;
        e.line = line.number;
        e.name.assign(line.nameBegin, line.nameEnd);
        e.hasValue = line.hasValue;
        if (line.hasValue) e.value.assign(line.valueBegin, line.valueEnd);
        // The system's reader drops a line with an empty name that follows
        // another entry with an empty name (lookups are not affected: the
        // first one wins anyway).
        if (e.name.empty() && prev && prev->name.empty()) continue;
        file.sections.back().entries.push_back(std::move(e));
        prev = &file.sections.back().entries.back();
    }
    return file;
}

ProfileFile LoadProfile(const char* path) {
    std::string data = ReadWholeFile(path);
    return ParseProfile(data.data(), data.size());
}

std::string ProfileValueText(const ProfileEntry* entry, unsigned size) {
    const char* value = (entry && entry->hasValue) ? entry->value.c_str() : "";
    return CopyEntry(value, size);
}

namespace {
// The raw value of [section] key in the file's bytes (blanks trimmed, quotes
// kept), "" when the key is missing or has no value.
std::string RawValue(const char* data, size_t dataSize, const char* section, const char* key) {
    // ANSI text (no byte-order mark) is searched where it lies.
    std::string decoded;
    if (HasByteOrderMark(data, dataSize)) {
        decoded = DecodeText(data, dataSize);
        data = decoded.data();
        dataSize = decoded.size();
    }
    std::string value;
    bool hasValue = false;
    if (!FindValue(data, dataSize, section, key, value, hasValue) || !hasValue) value.clear();
    return value;
}

std::string RawValue(const char* path, const char* section, const char* key) {
    std::string raw = ReadWholeFile(path);
    return RawValue(raw.data(), raw.size(), section, key);
}

unsigned CopyOut(const std::string& value, char* buffer, unsigned size) {
    std::string out = CopyEntry(value.c_str(), size);
    std::memcpy(buffer, out.c_str(), out.size() + 1);
    return static_cast<unsigned>(out.size());
}
}  // namespace

unsigned ReadProfileString(const char* path, const char* section, const char* key, char* buffer, unsigned size) {
    if (!buffer || size == 0) return 0;
    return CopyOut(RawValue(path, section, key), buffer, size);
}

unsigned ReadProfileStringFromText(const char* data, size_t dataSize, const char* section, const char* key,
                                   char* buffer, unsigned size) {
    if (!buffer || size == 0) return 0;
    return CopyOut(RawValue(data, dataSize, section, key), buffer, size);
}

int ReadProfileIntFromText(const char* data, size_t dataSize, const char* section, const char* key) {
    return ProfileTextToInt(RawValue(data, dataSize, section, key).c_str());
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
    return ProfileTextToInt(RawValue(path, section, key).c_str());
}
