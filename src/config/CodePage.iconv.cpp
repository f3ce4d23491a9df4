// The C library's conversion, code page N as iconv's "CPN".
#include "config/CodePage.h"

#include <iconv.h>

#include <string>

namespace {

class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts in[0..size) into out; returns false when the input cannot be
    // converted (the output is then left as it was).
    bool Convert(const char* in, size_t size, std::string& out) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char buf[16];
        char* src = const_cast<char*>(in);
        char* dst = buf;
        size_t left = size, room = sizeof buf;
        if (iconv(cd_, &src, &left, &dst, &room) == static_cast<size_t>(-1) || left != 0) return false;
        out.append(buf, static_cast<size_t>(dst - buf));
        return true;
    }

private:
    iconv_t cd_;
};

std::string Name(unsigned codePage) { return "CP" + std::to_string(codePage ? codePage : 1252); }

}  // namespace

// One character at a time, so that each one the code page cannot show
// becomes one '?' (a surrogate half, whether paired or not, is one such
// character, as in the system's conversion to these code pages).
std::string Utf16ToAnsi(const std::u16string& text, unsigned codePage) {
    std::string out;
    Converter c(Name(codePage).c_str(), "UTF-16LE");
    for (char16_t u : text) {
        const char in[2] = {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
        if ((u >= 0xD800 && u <= 0xDFFF) || !c.ok() || !c.Convert(in, 2, out)) out += '?';
    }
    return out;
}

// A double-byte character is tried before a single byte; a byte that is
// neither becomes U+FFFD.
std::u16string AnsiToUtf16(const std::string& text, unsigned codePage) {
    std::u16string out;
    Converter c("UTF-16LE", Name(codePage).c_str());
    std::string units;
    for (size_t i = 0; i < text.size();) {
        units.clear();
        size_t used = 0;
        if (c.ok() && i + 1 < text.size() && static_cast<unsigned char>(text[i]) >= 0x80 &&
            c.Convert(text.data() + i, 2, units))
            used = 2;
        else if (c.ok() && c.Convert(text.data() + i, 1, units))
            used = 1;
        if (used == 0 || units.size() < 2) {
            out += u'\xFFFD';
            ++i;
            continue;
        }
        for (size_t k = 0; k + 1 < units.size(); k += 2)
            out += static_cast<char16_t>(static_cast<unsigned char>(units[k]) |
                                         static_cast<unsigned char>(units[k + 1]) << 8);
        i += used;
    }
    return out;
}

bool CodePageSupported(unsigned codePage) { return Converter(Name(codePage).c_str(), "UTF-16LE").ok(); }
