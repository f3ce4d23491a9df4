// Drives the setup's real dialogs by control ids and message-box texts, from
// a second thread of a Windows test or from the end-to-end driver. Clicks are
// posted, so that one that opens a modal loop never blocks us.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace ui {

// Polls until pred returns a window or timeoutMs elapses (nullptr then).
HWND WaitFor(const std::function<HWND()>& pred, DWORD timeoutMs = 5000);
// The first visible top-level window of process pid (0: of any) that passes test.
HWND FindTop(DWORD pid, const std::function<bool(HWND)>& test);
// A dialog of this process with the control somewhere below it; a message
// box of process pid whose text (control 0xFFFF) contains textPart.
HWND FindDialogWithControl(int controlId);
HWND WaitForDialogWithControl(int controlId, DWORD timeoutMs = 5000);
HWND FindMessageBox(const char* textPart, DWORD pid = GetCurrentProcessId());
HWND WaitForMessageBox(const char* textPart, DWORD timeoutMs = 5000);
std::string MessageBoxText(HWND box);
// Texts are asked for with a time-out: a hung window must not hang the driver.
// Controls are found depth-first, also in page dialogs.
std::string WindowText(HWND w);
HWND FindControl(HWND root, int controlId);
std::string ControlText(HWND root, int controlId);
std::wstring ControlTextW(HWND root, int controlId);
bool ControlEnabled(HWND root, int controlId);
bool ControlVisible(HWND root, int controlId);
int CheckState(HWND root, int controlId);  // BST_CHECKED, BST_UNCHECKED; -1: no control
// BN_CLICKED to the button's parent, as a mouse click reaches the dialog;
// WM_SETTEXT, which raises EN_CHANGE (false: no such control).
bool Click(HWND root, int controlId);
bool SetText(HWND root, int controlId, const char* text);
// Presses the button (IDYES, IDNO, IDOK) of the message box containing
// textPart; its text, "" when none came. AnswerAll answers boxes in turn,
// and one that does not come is a test failure.
std::string Answer(const char* textPart, int buttonId, DWORD timeoutMs = 5000);
std::vector<std::string> AnswerAll(std::initializer_list<std::pair<const char*, int>> boxes, DWORD timeoutMs = 5000);
// The focus window of w's thread; a key press as the dialog manager meets
// it, posted to that window (to w when none).
HWND FocusOf(HWND w);
void Key(HWND w, UINT vk);
bool WaitGone(HWND w, DWORD timeoutMs = 5000);
// Starts a program (Wine runs a Unix one given by its Z: path natively) in
// folder dir and waits up to waitMs for it to end; false when it cannot start.
bool Run(const std::string& exe, std::string commandLine, DWORD waitMs, const char* dir = nullptr, DWORD* pid = nullptr);

// A shell link's target, working folder and icon, read through the shell's
// link object; empty when the file cannot be loaded as a link.
std::vector<std::string> ReadLink(const std::string& path);

// Runs a function on a thread of its own until Finish() (ADD_FAILURE works there).
struct Driver : std::thread {
    using std::thread::thread;
    ~Driver() { Finish(); }
    void Finish() { if (joinable()) join(); }
};

// A PNG of one window for the documentation (no test depends on it), in the
// Unix folder that SETUP_SCREENSHOTS names ("" when it is not set).
bool ScreenshotWindow(HWND w, const std::string& pngPath);
std::string ScreenshotDir();

}  // namespace ui
