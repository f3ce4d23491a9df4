// Profile reader following the Windows profile API's rules as Wine
// implements them (checked against it by the Windows tests):
// - the text is ANSI, read byte for byte, unless it starts with a
//   byte-order mark: UTF-8 (EF BB BF), UTF-16 little-endian (FF FE) or
//   big-endian (FE FF); such text is read as UTF-16 (names compared,
//   values cut and unquoted in UTF-16 characters) and what a read returns
//   is converted to the ANSI code page, whole characters only;
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
#include "config/Profile.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "config/CodePage.h"
#include "fw/File.h"

namespace {

unsigned CodePageInUse = 0;

// Works on ANSI bytes (char) and on UTF-16 units (char16_t) alike.
template <class C>
unsigned Unit(C c) {
    return static_cast<std::make_unsigned_t<C>>(c);
}

template <class C>
bool IsBlank(C c) {
    const unsigned u = Unit(c);
    return u == ' ' || (u >= '\t' && u <= '\r') || u == 0x1a;
}

template <class C>
unsigned Lower(C c) {
    const unsigned u = Unit(c);
    return (u >= 'A' && u <= 'Z') ? u + 32 : u;
}

// Compares a stored name [b, e) with a requested one (already trimmed). A
// NUL inside the stored name ends it, as it does in the system's reader.
template <class C>
bool NameMatches(const C* b, const C* e, const C* wanted, size_t wantedLen) {
    e = std::find(b, e, C(0));
    if (static_cast<size_t>(e - b) != wantedLen) return false;
    for (size_t i = 0; i < wantedLen; ++i)
        if (Lower(b[i]) != Lower(wanted[i])) return false;
    return true;
}

template <class C>
bool NameMatches(const std::basic_string<C>& stored, const std::basic_string<C>& wanted) {
    return NameMatches(stored.data(), stored.data() + stored.size(), wanted.data(), wanted.size());
}

// A requested name with the blanks around it trimmed.
std::string TrimRequest(const char* s) {
    if (!s) return std::string();
    while (*s && IsBlank(*s)) ++s;
    size_t len = std::strlen(s);
    while (len > 0 && IsBlank(s[len - 1])) --len;
    return std::string(s, len);
}

// A requested name as the UTF-16 text it is compared with in a file with a
// byte-order mark.
std::u16string WideRequest(const char* s) { return AnsiToUtf16(TrimRequest(s), CodePageInUse); }

// ---------------------------------------------------------------- encodings

std::u16string FromUtf16(const unsigned char* p, size_t size, bool bigEndian) {
    std::u16string out;
    out.reserve(size / 2);
    for (size_t i = 0; i + 1 < size; i += 2)
        out += static_cast<char16_t>(bigEndian ? (p[i] << 8 | p[i + 1]) : (p[i + 1] << 8 | p[i]));
    return out;
}

// UTF-8 to UTF-16 as the system's conversion does it: each malformed
// sequence is one replacement character (U+FFFD). A malformed sequence is
// the lead byte and the continuation bytes read before the fault showed, as
// the system's decoder counts them.
std::u16string FromUtf8(const unsigned char* p, size_t size) {
    std::u16string out;
    out.reserve(size);
    size_t i = 0;
    while (i < size) {
        unsigned char c = p[i++];
        if (c < 0x80) {
            out += static_cast<char16_t>(c);
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
        if (!ok) {
            out += u'\xFFFD';
        } else if (u >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((u - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + (u & 0x3FF));
        } else {
            out += static_cast<char16_t>(u);
        }
    }
    return out;
}

// The text of a file with a byte-order mark as UTF-16; false for ANSI text.
bool DecodeMarkedText(const char* data, size_t size, std::u16string& text) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(data);
    if (size >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) text = FromUtf8(p + 3, size - 3);
    else if (size >= 2 && p[0] == 0xFF && p[1] == 0xFE) text = FromUtf16(p + 2, size - 2, false);
    else if (size >= 2 && p[0] == 0xFE && p[1] == 0xFF) text = FromUtf16(p + 2, size - 2, true);
    else return false;
    return true;
}

// UTF-16 text in the code page, cut to at most maxBytes bytes of whole
// characters (the longest start of the text whose conversion fits).
std::string ToAnsi(const std::u16string& text, size_t maxBytes) {
    std::string out = Utf16ToAnsi(text, CodePageInUse);
    if (out.size() <= maxBytes) return out;
    size_t fits = 0, tooLong = text.size();
    while (tooLong - fits > 1) {
        const size_t mid = fits + (tooLong - fits) / 2;
        if (Utf16ToAnsi(text.substr(0, mid), CodePageInUse).size() <= maxBytes) fits = mid;
        else tooLong = mid;
    }
    return Utf16ToAnsi(text.substr(0, fits), CodePageInUse);
}

std::string ToAnsi(const std::u16string& text) { return Utf16ToAnsi(text, CodePageInUse); }

// ---------------------------------------------------------------- lines

// One meaningful line: a section header or an entry. Pointers point into
// the parsed text.
template <class C>
struct Line {
    int number = 0;
    bool isSection = false;
    const C* nameBegin = nullptr;
    const C* nameEnd = nullptr;
    bool hasValue = false;
    const C* valueBegin = nullptr;
    const C* valueEnd = nullptr;
};

template <class C>
class LineReader {
public:
    LineReader(const C* data, size_t size) : p_(data), end_(data + size) {}

    // The next non-blank line, or false at the end of the text.
    bool Next(Line<C>& line) {
        while (p_ < end_) {
            const int thisLine = nextLine_;
            const C* start = p_;
            while (p_ < end_ && *p_ != '\n' && *p_ != '\r') ++p_;
            const C* stop = p_;
            while (p_ < end_ && (*p_ == '\n' || *p_ == '\r')) {
                // For line numbers, CR LF is one break; CR CR or LF LF are two.
                if (*p_ == '\r' && p_ + 1 < end_ && p_[1] == '\n') ++p_;
                ++p_;
                ++nextLine_;
            }
            while (start < stop && IsBlank(*start)) ++start;
            while (stop > start && IsBlank(stop[-1])) --stop;
            if (start >= stop) continue;

            line = Line<C>();
            line.number = thisLine;
            if (*start == '[') {
                const C* close = stop;
                while (close > start && close[-1] != ']') --close;
                if (close > start + 1) {
                    const C* b = start + 1;
                    const C* e = close - 1;
                    while (b < e && IsBlank(*b)) ++b;
                    while (e > b && IsBlank(e[-1])) --e;
                    line.isSection = true;
                    line.nameBegin = b;
                    line.nameEnd = e;
                    return true;
                }
            }
            const C* eq = std::find(start, stop, C('='));
            line.nameBegin = start;
            if (eq != stop) {
                const C* nameEnd = eq;
                while (nameEnd > start && IsBlank(nameEnd[-1])) --nameEnd;
                line.nameEnd = nameEnd;
                const C* v = eq + 1;
                while (v < stop && IsBlank(*v)) ++v;
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
    const C* p_;
    const C* end_;
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

// Finds [section] key the way the system's reader does (the requested names
// trimmed). Returns the raw value (blanks trimmed, quotes kept), "" when
// the key is missing or has no value.
template <class C>
std::basic_string<C> FindValue(const C* text, size_t textSize, const std::basic_string<C>& section,
                               const std::basic_string<C>& key) {
    LineReader<C> reader(text, textSize);
    Line<C> line;
    // Entries before the first header belong to the section with empty name.
    bool inSection = section.empty();
    while (reader.Next(line)) {
        if (line.isSection) {
            if (inSection) break;  // only the first matching section counts
            inSection = NameMatches(line.nameBegin, line.nameEnd, section.data(), section.size());
            continue;
        }
        if (!inSection || !NameMatches(line.nameBegin, line.nameEnd, key.data(), key.size())) continue;
        if (line.hasValue) return std::basic_string<C>(line.valueBegin, line.valueEnd);
        break;
    }
    return std::basic_string<C>();
}

// Copies a value the way the system's reader does: a value that starts and
// ends with the same quote character (and is longer than one character) loses
// the opening quote, then at most size - 1 characters are copied, and the
// closing quote is removed only when the copy reached it. (When the value
// without its opening quote is exactly size characters long, that removes
// one character of the value too: the system behaves so, and we read files
// as it does.) A NUL in the value ends it.
template <class C>
std::basic_string<C> CopyEntry(const std::basic_string<C>& raw, unsigned size) {
    if (size == 0) return std::basic_string<C>();
    const C* value = raw.c_str();
    size_t vlen = std::find(value, value + raw.size(), C(0)) - value;
    C quote = 0;
    if ((value[0] == '\'' || value[0] == '"') && vlen > 1 && value[vlen - 1] == value[0]) {
        quote = value[0];
        ++value;
        --vlen;
    }
    size_t n = vlen < size - 1 ? vlen : size - 1;
    std::basic_string<C> out(value, n);
    if (quote && size >= vlen && !out.empty()) out.pop_back();
    return out;
}

// The integer rules of GetPrivateProfileIntA: the value is read into a
// 30-character buffer first, then read as a number with an optional sign
// and a 0x, 0o or 0b prefix.
template <class C>
int TextToInt(const std::basic_string<C>& raw) {
    const std::basic_string<C> text = CopyEntry(raw, 30);
    const C* p = text.c_str();
    if (!*p) return 0;
    while (*p && Unit(*p) <= ' ') ++p;
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
        const unsigned c = Unit(*p);
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

// What a read with a buffer of size bytes delivers.
std::string ValueText(const std::string& raw, unsigned size) { return CopyEntry(raw, size); }
std::string ValueText(const std::u16string& raw, unsigned size) {
    return size == 0 ? std::string() : ToAnsi(CopyEntry(raw, size), size - 1);
}

// Parses text of either kind into file; names and values of UTF-16 text
// are kept as read and in the code page.
template <class C>
void ParseInto(const C* text, size_t size, ProfileFile& file) {
    constexpr bool wide = std::is_same_v<C, char16_t>;
    LineReader<C> reader(text, size);
    Line<C> line;
    const ProfileEntry* prev = nullptr;
    while (reader.Next(line)) {
        if (line.isSection) {
            ProfileSection s;
            s.line = line.number;
            if constexpr (wide) {
                s.wideName.assign(line.nameBegin, line.nameEnd);
                s.name = ToAnsi(s.wideName);
            } else {
                s.name.assign(line.nameBegin, line.nameEnd);
            }
            file.sections.push_back(std::move(s));
            prev = nullptr;
            continue;
        }
        ProfileEntry e;
        e.line = line.number;
        e.hasValue = line.hasValue;
        if constexpr (wide) {
            e.wideName.assign(line.nameBegin, line.nameEnd);
            e.name = ToAnsi(e.wideName);
            if (line.hasValue) e.wideValue.assign(line.valueBegin, line.valueEnd);
            e.value = ToAnsi(e.wideValue);
        } else {
            e.name.assign(line.nameBegin, line.nameEnd);
            if (line.hasValue) e.value.assign(line.valueBegin, line.valueEnd);
        }
        // The system's reader drops a line with an empty name that follows
        // another entry with an empty name (lookups are not affected: the
        // first one wins anyway).
        if (e.name.empty() && prev && prev->name.empty()) continue;
        file.sections.back().entries.push_back(std::move(e));
        prev = &file.sections.back().entries.back();
    }
}

}  // namespace

void SetProfileCodePage(unsigned codePage) { CodePageInUse = codePage; }
unsigned ProfileCodePage() { return CodePageInUse; }

const ProfileSection* ProfileFile::FindSection(const char* name) const {
    if (wide) {
        const std::u16string want = WideRequest(name);
        for (const ProfileSection& s : sections)
            if (NameMatches(s.wideName, want)) return &s;
        return nullptr;
    }
    const std::string want = TrimRequest(name);
    for (const ProfileSection& s : sections)
        if (NameMatches(s.name, want)) return &s;
    return nullptr;
}

const ProfileEntry* ProfileFile::FindEntry(const char* section, const char* key) const {
    const ProfileSection* s = FindSection(section);
    if (!s) return nullptr;
    if (wide) {
        const std::u16string want = WideRequest(key);
        for (const ProfileEntry& e : s->entries)
            if (NameMatches(e.wideName, want)) return &e;
        return nullptr;
    }
    const std::string want = TrimRequest(key);
    for (const ProfileEntry& e : s->entries)
        if (NameMatches(e.name, want)) return &e;
    return nullptr;
}

ProfileFile ParseProfile(const char* data, size_t size) {
    ProfileFile file;
    file.sections.emplace_back();  // entries before any section header
    std::u16string text;
    file.wide = DecodeMarkedText(data, size, text);
    if (file.wide) ParseInto(text.data(), text.size(), file);
    else ParseInto(data, size, file);
    return file;
}

ProfileFile LoadProfile(const char* path) {
    std::string data = ReadWholeFile(path);
    return ParseProfile(data.data(), data.size());
}

std::string ProfileValueText(const ProfileEntry* entry, unsigned size) {
    if (entry && entry->hasValue && !entry->wideValue.empty()) return ValueText(entry->wideValue, size);
    return ValueText((entry && entry->hasValue) ? entry->value : std::string(), size);
}

int ProfileEntryToInt(const ProfileEntry* entry) {
    if (!entry || !entry->hasValue) return 0;
    return entry->wideValue.empty() ? TextToInt(entry->value) : TextToInt(entry->wideValue);
}


namespace {
// Reads [section] key of the file's bytes: what a read with a buffer of size
// bytes delivers, or the integer when size is 0.
struct Found {
    std::string text;
    int number = 0;
};
Found Lookup(const char* data, size_t dataSize, const char* section, const char* key, unsigned size) {
    Found f;
    std::u16string wide;
    if (DecodeMarkedText(data, dataSize, wide)) {
        const std::u16string raw = FindValue(wide.data(), wide.size(), WideRequest(section), WideRequest(key));
        if (size) f.text = ValueText(raw, size);
        else f.number = TextToInt(raw);
    } else {
        // ANSI text is searched where it lies, without a copy.
        const std::string raw = FindValue(data, dataSize, TrimRequest(section), TrimRequest(key));
        if (size) f.text = ValueText(raw, size);
        else f.number = TextToInt(raw);
    }
    return f;
}

unsigned CopyOut(const std::string& text, char* buffer) {
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<unsigned>(text.size());
}
}  // namespace

unsigned ReadProfileString(const char* path, const char* section, const char* key, char* buffer, unsigned size) {
    if (!buffer || size == 0) return 0;
    const std::string data = ReadWholeFile(path);
    return CopyOut(Lookup(data.data(), data.size(), section, key, size).text, buffer);
}

unsigned ReadProfileStringFromText(const char* data, size_t dataSize, const char* section, const char* key,
                                   char* buffer, unsigned size) {
    if (!buffer || size == 0) return 0;
    return CopyOut(Lookup(data, dataSize, section, key, size).text, buffer);
}

int ReadProfileIntFromText(const char* data, size_t dataSize, const char* section, const char* key) {
    return Lookup(data, dataSize, section, key, 0).number;
}

int ReadProfileInt(const char* path, const char* section, const char* key) {
    const std::string data = ReadWholeFile(path);
    return Lookup(data.data(), data.size(), section, key, 0).number;
}
