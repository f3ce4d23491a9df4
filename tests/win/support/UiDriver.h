// Drives the setup's real dialogs the way a user would: by control ids and
// message-box texts. The Windows tests run it on a second thread of their
// own process (the dialog under test runs modally on the main thread); the
// end-to-end driver runs it from another process beside the setup. Clicks
// are posted, so that a click that opens a modal loop never blocks the driver.
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
// A visible dialog of this process with the control somewhere below it; a
// message box of process pid whose text (control 0xFFFF) contains textPart.
HWND FindDialogWithControl(int controlId);
HWND WaitForDialogWithControl(int controlId, DWORD timeoutMs = 5000);
HWND FindMessageBox(const char* textPart, DWORD pid = GetCurrentProcessId());
HWND WaitForMessageBox(const char* textPart, DWORD timeoutMs = 5000);
std::string MessageBoxText(HWND box);
// Texts asked for with a time-out (a hung window must not hang the driver);
// controls are found depth-first, also in page dialogs.
std::string WindowText(HWND w);
HWND FindControl(HWND root, int controlId);
std::string ControlText(HWND root, int controlId);
std::wstring ControlTextW(HWND root, int controlId);
bool ControlEnabled(HWND root, int controlId);
bool ControlVisible(HWND root, int controlId);
int CheckState(HWND root, int controlId);  // BST_CHECKED, BST_UNCHECKED; -1: no control
// Posts BN_CLICKED to the button's parent, as a mouse click reaches the
// dialog (false: no such control); sets an edit's text with WM_SETTEXT,
// which raises EN_CHANGE.
bool Click(HWND root, int controlId);
bool SetText(HWND root, int controlId, const char* text);
// Waits for a message box containing textPart and presses the button
// (IDYES, IDNO, IDOK); returns the box's text, "" on time-out. AnswerAll
// answers boxes in turn; one that does not come is a test failure.
std::string Answer(const char* textPart, int buttonId, DWORD timeoutMs = 5000);
std::vector<std::string> AnswerAll(std::initializer_list<std::pair<const char*, int>> boxes, DWORD timeoutMs = 5000);
// The focus window of w's thread; a key press as the dialog manager meets
// it: WM_KEYDOWN and WM_KEYUP posted to that window (to w when none).
HWND FocusOf(HWND w);
void Key(HWND w, UINT vk);
bool WaitGone(HWND w, DWORD timeoutMs = 5000);
// Starts a program (Wine runs a Unix one given by its Z: path as a native
// process) in folder dir and waits up to waitMs for it; false when it cannot.
bool Run(const std::string& exe, std::string commandLine, DWORD waitMs, const char* dir = nullptr, DWORD* pid = nullptr);

// Runs fn on a driver thread while the caller runs a modal dialog; join
// with Finish(). Failures inside fn are recorded with gtest's ADD_FAILURE.
class Driver {
public:
    explicit Driver(std::function<void()> fn) : thread_(std::move(fn)) {}
    ~Driver() { Finish(); }
    void Finish() {
        if (thread_.joinable()) thread_.join();
    }

private:
    std::thread thread_;
};

// A PNG of one window (the documentation pictures; tests never depend on
// it), into the folder SETUP_SCREENSHOTS names (a Unix path; "" when unset).
bool ScreenshotWindow(HWND w, const std::string& pngPath);
std::string ScreenshotDir();

}  // namespace ui
