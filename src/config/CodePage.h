// Conversion between UTF-16 and an ANSI code page, for configuration files
// that start with a byte-order mark: the setup reads them in the system's
// ANSI code page, as the system's profile API does. Characters that the
// code page cannot show become its default character ('?').
//
// Code page 0 is the system's ANSI code page on Windows and 1252 elsewhere.
// CodePage.win.cpp implements this with the system's conversion (on
// Windows it is part of every program, the vendor tool included),
// CodePage.iconv.cpp with the C library's iconv.
#pragma once
#include <string>

std::string Utf16ToAnsi(const std::u16string& text, unsigned codePage);
std::u16string AnsiToUtf16(const std::string& text, unsigned codePage);
// Whether the conversion knows the code page.
bool CodePageSupported(unsigned codePage);
