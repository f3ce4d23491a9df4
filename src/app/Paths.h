// Path helpers shared by every step that composes a path from the
// configuration file or from an archive: composition that refuses what does
// not fit instead of cutting it, and the test for names that would lead out
// of the installation folder.
#pragma once
#include <cstddef>
#include <initializer_list>
#include <string>

// Concatenates the parts into out (size bytes, terminating zero included).
// Returns false, leaving out empty, when the result would not fit: a cut
// path must never be acted on.
bool JoinPath(char* out, size_t size, std::initializer_list<const char*> parts);

// True when a name stored in an archive or a pack file may be written below
// the destination folder: not empty, not absolute, no drive ("C:"), no
// leading '/' or '\', and no ".." component (either separator counts).
bool IsSafeRelativeName(const char* name);
inline bool IsSafeRelativeName(const std::string& name) { return IsSafeRelativeName(name.c_str()); }

// Case-insensitive comparison of two paths (ASCII letters), as the setup
// compares source and target file names.
bool SamePathNoCase(const char* a, const char* b);
