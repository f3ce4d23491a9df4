// Small rules of the wizard pages that need no window: the destination
// sentence, the language entry test, the agreement text's line breaks and
// the bounds on numbered configuration entries.
#pragma once
#include <cstddef>
#include <string>

// "Setup will install <name> in the following folder."; an empty name reads
// "the program".
std::string DestinationSentence(const char* name);

// True when a language entry, without the white space at either end and
// regardless of letter case, is exactly "CHINESE". Bytes from 0x80 up are
// never case-folded, so a double-byte character never matches.
bool IsChineseEntry(const char* text);

// Appends n characters of s to out, each LF as CR LF (an edit box breaks
// lines only at CR LF); every other character unchanged.
void AppendWithCrLf(std::wstring& out, const wchar_t* s, size_t n);

// The count of entries to read for a configured Number: 0 for 0 or less,
// at most sizes::kMaxNumberedEntries (a key's number has three digits).
int NumberedEntryCount(int number);
