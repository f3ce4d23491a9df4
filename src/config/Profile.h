// The profile (INI) reader behind every configuration read. One reader of
// our own, the same on every platform, that follows the rules of the
// Windows profile API (GetPrivateProfileStringA / GetPrivateProfileIntA as
// Wine implements them), so that the vendor tool understands a file exactly
// as the setup does. Each call opens and parses the file anew: the file is
// small, and later reads must see edits made in between.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The ANSI code page that the text of files with a byte-order mark is
// delivered in: 0 (the default) is the system's ANSI code page on Windows
// and 1252 elsewhere. The vendor tool sets it to show what a PC with that
// code page reads. Files without a byte-order mark are read byte for byte.
void SetProfileCodePage(unsigned codePage);
unsigned ProfileCodePage();

// Reads [section] key of the file at path into buffer (size bytes), with the
// default "". At most size - 1 characters are copied and a terminating zero
// always follows (when size > 0). Returns the number of characters copied.
unsigned ReadProfileString(const char* path, const char* section, const char* key, char* buffer,
                           unsigned size);

// Reads [section] key as an integer with the default 0.
int ReadProfileInt(const char* path, const char* section, const char* key);

// The same reads on profile text already in memory (the file's bytes).
unsigned ReadProfileStringFromText(const char* data, size_t dataSize, const char* section, const char* key,
                                   char* buffer, unsigned size);
int ReadProfileIntFromText(const char* data, size_t dataSize, const char* section, const char* key);

// The parsed form of a profile file, for tools that need to see every line
// (the vendor tool's checks). Lines are numbered from 1.
// Names and values are in the code page; a file with a byte-order mark
// keeps them as read (UTF-16) too, for lookups and cuts as the setup makes
// them.
struct ProfileEntry {
    std::string name;      // key name, blanks trimmed
    std::string value;     // raw value, blanks trimmed, quotes not removed
    bool hasValue = false; // the line held '='
    int line = 0;
    std::u16string wideName, wideValue;
};
struct ProfileSection {
    std::string name;
    int line = 0;          // 0 for the unnamed section before the first '['
    std::vector<ProfileEntry> entries;
    std::u16string wideName;
};
struct ProfileFile {
    std::vector<ProfileSection> sections;
    bool wide = false;     // the file started with a byte-order mark
    // The first section of that name (without regard to case), or nullptr.
    const ProfileSection* FindSection(const char* name) const;
    // The first entry of that name in the first matching section, or nullptr.
    const ProfileEntry* FindEntry(const char* section, const char* key) const;
};

// Parses profile text (any bytes). Never fails.
ProfileFile ParseProfile(const char* data, size_t size);
// Loads and parses a file; a missing or unreadable file gives no sections.
ProfileFile LoadProfile(const char* path);

// The value as ReadProfileString would deliver it (quotes removed, cut to
// size - 1 characters).
std::string ProfileValueText(const ProfileEntry* entry, unsigned size);
// The integer rules of GetPrivateProfileIntA applied to an entry (0 for
// nullptr).
int ProfileEntryToInt(const ProfileEntry* entry);
