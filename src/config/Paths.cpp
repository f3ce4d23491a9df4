#include "config/Paths.h"

#include <cstring>

bool JoinPath(char* out, size_t size, std::initializer_list<const char*> parts) {
    if (size == 0) return false;
    size_t len = 0;
    for (const char* p : parts) {
        size_t n = p ? std::strlen(p) : 0;
        if (n >= size - len) {
            out[0] = 0;
            return false;
        }
        std::memcpy(out + len, p, n);
        len += n;
    }
    out[len] = 0;
    return true;
}

bool IsReservedDeviceName(const char* comp, size_t len) {
    // Windows looks at the part before the first dot, blanks at its end
    // dropped.
    size_t n = 0;
    while (n < len && comp[n] != '.') ++n;
    while (n > 0 && comp[n - 1] == ' ') --n;
    char base[8];
    if (n < 3 || n > 7) return false;
    for (size_t i = 0; i < n; ++i) {
        char c = comp[i];
        base[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    }
    const std::string b(base, n);
    static const char* const fixed[] = {"con", "prn", "aux", "nul", "clock$", "conin$", "conout$"};
    for (const char* f : fixed)
        if (b == f) return true;
    if (n == 4 && (b.compare(0, 3, "com") == 0 || b.compare(0, 3, "lpt") == 0)) {
        const unsigned char d = static_cast<unsigned char>(b[3]);
        // Digits, and the superscripts 1, 2, 3 of the ANSI code page.
        return (d >= '0' && d <= '9') || d == 0xB9 || d == 0xB2 || d == 0xB3;
    }
    return false;
}

NameFault CheckRelativeName(const char* name) {
    if (!name || !*name) return NameFault::empty;
    if (name[0] == '/' || name[0] == '\\') return NameFault::absolute;
    if (std::strchr(name, ':')) return NameFault::colon;
    const char* comp = name;
    for (const char* p = name;; ++p) {
        if (*p != '/' && *p != '\\' && *p != 0) continue;
        const size_t n = static_cast<size_t>(p - comp);
        if (n == 0) {
            // Only the end of the name may follow a separator directly.
            if (*p != 0 || p == name) return NameFault::emptyComponent;
            break;
        }
        if (n == 2 && comp[0] == '.' && comp[1] == '.') return NameFault::parent;
        if (!(n == 1 && comp[0] == '.') && (comp[n - 1] == '.' || comp[n - 1] == ' ')) return NameFault::trailingDot;
        if (IsReservedDeviceName(comp, n)) return NameFault::device;
        if (*p == 0) break;
        comp = p + 1;
    }
    return NameFault::none;
}

const char* NameFaultText(NameFault fault) {
    switch (fault) {
    case NameFault::none: return "the name is usable";
    case NameFault::empty: return "the name is empty";
    case NameFault::absolute: return "the name is absolute; it must be relative to the installation folder";
    case NameFault::colon: return "a \":\" names a drive or an alternate data stream";
    case NameFault::parent: return "a \"..\" part leads out of the folder";
    case NameFault::emptyComponent: return "a doubled separator leaves an empty part";
    case NameFault::trailingDot: return "a part ends with a dot or a blank, which Windows drops";
    case NameFault::device: return "a part is a reserved device name (such as NUL, CON, COM1 or LPT1)";
    }
    return "";
}

bool SamePathNoCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        unsigned char ca = static_cast<unsigned char>(*a), cb = static_cast<unsigned char>(*b);
        if (ca >= 'A' && ca <= 'Z') ca = static_cast<unsigned char>(ca + 32);
        if (cb >= 'A' && cb <= 'Z') cb = static_cast<unsigned char>(cb + 32);
        if (ca != cb) return false;
        if (ca == 0) return true;
    }
}

std::string InvalidNameText(const std::string& name, const std::string& section, const std::string& tail) {
    return "Invalid name \"" + name + "\" in [" + section + "] of morlan.ini" + tail + ".";
}

std::string PathTooLongText(const std::string& name, const std::string& container) {
    return "Path too long for \"" + name + "\" of " + container + ".";
}
