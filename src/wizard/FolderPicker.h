// The folder chooser behind the destination page's Browse button: the
// shell's folder browser with a path box (14148) above its folder tree, so
// that a folder that does not exist yet can be typed. OK validates the
// typed path, offers to create a missing folder (every level), and only a
// path that exists afterwards is handed back.
#pragma once
#include <windows.h>
#include <shlobj.h>

#include <string>

#include "fw/Dialog.h"
#include "wizard/FolderRules.h"

class CFolderPicker;

// Subclasses the shell's browse dialog: sees its messages before the
// shell's own procedure does, and takes over OK and the path box's
// notifications.
class CFolderPickerHook : public CWnd {
public:
    explicit CFolderPickerHook(CFolderPicker* picker) : picker_(picker) {}
    ~CFolderPickerHook() override { Detach(); }
    BOOL Attach(HWND dialog);
    void Detach();

private:
    static LRESULT CALLBACK HookProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp);
    void OnPathChange();
    void OnOK();

    CFolderPicker* picker_;
    WNDPROC oldProc_ = nullptr;
};

class CFolderPicker {
public:
    // caption and initialFolder may be null (no caption of our own; the
    // current directory). parent may be null: the owner is then the active
    // window's last active pop-up.
    CFolderPicker(const char* caption, const char* title, const char* initialFolder, HWND parent);
    virtual ~CFolderPicker() = default;
    CFolderPicker(const CFolderPicker&) = delete;
    CFolderPicker& operator=(const CFolderPicker&) = delete;

    // 1 when OK was pressed and the folder passed validation; -1 when the
    // dialog was cancelled or the shell's allocator is unavailable.
    virtual int Run();
    std::string GetPath() const { return path; }

    static int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM item, LPARAM picker);

    bool hasCaption;
    std::string caption;
    bool hasInitialFolder;
    std::string initialFolder;
    char path[260] = {0};
    BROWSEINFOA browseInfo = {};
    HWND dialogWindow = nullptr;
    HWND owner = nullptr;
    BOOL confirmed = FALSE;
    CFolderPickerHook hook;

private:
    std::string title_;
    void OnSelectionChanged(LPCITEMIDLIST item);
};

// The path rules on the real file system, with the questions and messages
// in message boxes captioned with the application's name.
class CSystemFolderOps : public FolderOps {
public:
    explicit CSystemFolderOps(HWND owner = nullptr) : owner_(owner) {}
    bool Exists(const char* path) override;
    void CreateDir(const char* path) override;
    bool AskYesNo(const std::string& text) override;
    void ShowMessage(const std::string& text) override;

private:
    HWND owner_;
};

int CheckFolderPath(const char* path, BOOL checkOnly);
