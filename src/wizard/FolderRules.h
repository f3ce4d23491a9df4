// The folder picker's path rules and its creation walk, apart from any
// window: what a typed destination folder must look like, and how a missing
// one is created one level at a time. The file system and the questions to
// the user are reached through FolderOps, so the same rules run against the
// real system (the picker) and against a model of it (the unit tests).
#pragma once
#include <cstddef>
#include <string>

class FolderOps {
public:
    virtual ~FolderOps() = default;
    // Something of that name exists (a folder, or a file).
    virtual bool Exists(const char* path) = 0;
    // Creates one directory level; the result is examined through Exists.
    virtual void CreateDir(const char* path) = 0;
    // Asks a Yes/No question; true for Yes.
    virtual bool AskYesNo(const std::string& text) = 0;
    // Shows a message with an OK button.
    virtual void ShowMessage(const std::string& text) = 0;
};

// Results of CheckFolderPath and ValidateFolder.
enum : int {
    kFolderOk = 0,
    kFolderDeclined = -1,   // ValidateFolder only: the user said No
    kFolderInvalid = 1,
    kFolderNotCreated = 2,
};

// Longest path the picker handles (its buffers hold 260 bytes).
constexpr size_t kMaxFolderPath = 259;

// A folder name of one level: not empty, not beginning or ending with a
// tab, blank or full stop, and none of  " * / : < > ? \ |  anywhere.
bool IsValidFolderName(const char* name);

// Checks a full path "X:\name\name...". With checkOnly only the syntax is
// checked; otherwise every level is created as the walk reaches it (levels
// that exist are left alone) and the walk stops at the first level that
// does not exist afterwards. Returns kFolderOk, kFolderInvalid or
// kFolderNotCreated. A path longer than kMaxFolderPath is invalid: it is
// never cut and acted on.
int CheckFolderPath(const char* path, bool checkOnly, FolderOps& ops);

// The decision behind the picker's OK button: accepts an existing path,
// offers to create a missing one, and reports an invalid path or a level
// that cannot be created. Returns kFolderOk, kFolderDeclined,
// kFolderInvalid or kFolderNotCreated.
int ValidateFolder(const char* path, FolderOps& ops);

// The picker's messages, with the path in place.
std::string FolderQuestionText(const char* path);
std::string FolderInvalidText(const char* path);
std::string FolderNotCreatedText(const char* path);
// The destination page's message for a folder longer than maxLength.
std::string FolderTooLongText(const char* path, size_t maxLength);
