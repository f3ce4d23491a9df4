// The sizes of the setup's buffers for values read from the configuration
// file and for the paths built from them. A value longer than its buffer is
// cut to size - 1 characters when read; a path that does not fit its buffer
// is refused where it is built. `setupkit check` warns with the same sizes.
#pragma once
#include <cstddef>

namespace sizes {

inline constexpr unsigned kName = 20;           // file, folder, key and language names
inline constexpr unsigned kIcon = 9;            // [Shortcut] Ico
inline constexpr unsigned kSoftwareName = 30;   // [Software] Name
inline constexpr unsigned kExec = 40;           // [Exec] ExecFile and ExecDir
inline constexpr unsigned kVersion = 100;       // [Software] Version
inline constexpr unsigned kFolder = 180;        // [Dir] Dest; a pack's destination folder
inline constexpr unsigned kShortcutText = 180;  // [Shortcut] Descript1 and Descript2
inline constexpr unsigned kLanguageSource = 180;  // the chosen language library's path
inline constexpr size_t kPath = 200;            // source, configuration and installation paths, archives
inline constexpr unsigned kFilePath = 256;      // the files that the final steps copy, delete and link
inline constexpr unsigned kRecordPath = 260;    // a pack record's target path

// The most entries of a numbered list ([SubDir], [Language]) that are read.
inline constexpr int kMaxNumberedEntries = 999;

}  // namespace sizes
