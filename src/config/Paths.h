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

// Why a name from the medium or the configuration may not be created or
// deleted inside the installation folder.
enum class NameFault {
    none,            // the name is usable
    empty,           // nothing at all
    absolute,        // starts with '\' or '/'
    colon,           // a drive ("C:") or an alternate data stream ("a:s")
    parent,          // a ".." component climbs out of the folder
    emptyComponent,  // a doubled separator ("a\\b")
    trailingDot,     // a component ends with a dot or a blank, which Windows drops
    device,          // a component is a reserved device name (NUL, nul.txt, COM1, ...)
};

// The one test for every relative name that comes from an archive, a pack
// file or the configuration file: entries, records, [SubDir], [DelFile],
// language libraries, shortcut names. Both separators count. A component
// "." (the folder itself) is allowed, and so is one trailing separator (a
// folder name); the callers that need a file name refuse that themselves.
NameFault CheckRelativeName(const char* name);
inline bool IsSafeRelativeName(const char* name) { return CheckRelativeName(name) == NameFault::none; }
inline bool IsSafeRelativeName(const std::string& name) { return IsSafeRelativeName(name.c_str()); }

// Short reason for a fault, for messages ("a \"..\" part leads out of the
// installation folder").
const char* NameFaultText(NameFault fault);

// True when one path component (len bytes, no separator) names a device
// instead of a file: CON, PRN, AUX, NUL, CLOCK$, CONIN$, CONOUT$, COM0-COM9,
// LPT0-LPT9 and COM/LPT with a superscript 1-3, in any letter case, also
// with an extension ("nul.txt") or blanks before it ("nul .txt").
bool IsReservedDeviceName(const char* component, size_t len);

// Case-insensitive comparison of two paths (ASCII letters), as the setup
// compares source and target file names.
bool SamePathNoCase(const char* a, const char* b);

// The message for a name of the configuration file that a name rule refused:
// Invalid name "<name>" in [<section>] of morlan.ini<tail>.
std::string InvalidNameText(const std::string& name, const std::string& section, const std::string& tail = "");

// The message for a name stored in an archive or a pack whose target path
// does not fit: Path too long for "<name>" of <container>. The setup stops
// with it, and `setupkit check` quotes it.
std::string PathTooLongText(const std::string& name, const std::string& container);
