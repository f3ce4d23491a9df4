// The system's conversion (wchar_t is UTF-16 on Windows).
#include "config/CodePage.h"

#include <windows.h>

namespace {
UINT Page(unsigned codePage) { return codePage ? codePage : CP_ACP; }
}  // namespace

std::string Utf16ToAnsi(const std::u16string& text, unsigned codePage) {
    if (text.empty()) return std::string();
    const wchar_t* w = reinterpret_cast<const wchar_t*>(text.data());
    const int len = static_cast<int>(text.size());
    int n = WideCharToMultiByte(Page(codePage), 0, w, len, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    n = WideCharToMultiByte(Page(codePage), 0, w, len, out.data(), n, nullptr, nullptr);
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return out;
}

std::u16string AnsiToUtf16(const std::string& text, unsigned codePage) {
    if (text.empty()) return std::u16string();
    const int len = static_cast<int>(text.size());
    int n = MultiByteToWideChar(Page(codePage), 0, text.data(), len, nullptr, 0);
    if (n <= 0) return std::u16string();
    std::u16string out(static_cast<size_t>(n), u'\0');
    n = MultiByteToWideChar(Page(codePage), 0, text.data(), len, reinterpret_cast<wchar_t*>(out.data()), n);
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return out;
}

bool CodePageSupported(unsigned codePage) { return codePage == 0 || IsValidCodePage(codePage); }
