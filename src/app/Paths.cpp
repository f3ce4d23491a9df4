#include "app/Paths.h"

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

bool IsSafeRelativeName(const char* name) {
    if (!name || !*name) return false;
    if (name[0] == '/' || name[0] == '\\') return false;
    if (std::strchr(name, ':')) return false;  // drive letters and alternate streams
    const char* comp = name;
    for (const char* p = name;; ++p) {
        if (*p == '/' || *p == '\\' || *p == 0) {
            size_t n = static_cast<size_t>(p - comp);
            if (n == 2 && comp[0] == '.' && comp[1] == '.') return false;
            if (*p == 0) break;
            comp = p + 1;
        }
    }
    return true;
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
