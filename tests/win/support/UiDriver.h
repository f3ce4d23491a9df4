// Drives the setup's real dialogs from a second thread of the test process,
// the way a user would: by control ids and message-box texts. The dialog
// under test runs modally on the test's main thread; the driver finds its
// windows, clicks (posted, so that a click that opens a modal loop never
// blocks the driver) and answers message boxes.
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
// A visible top-level dialog of this process with the control somewhere
// below it; a visible message box of this process whose text (control
// 0xFFFF) contains textPart.
HWND FindDialogWithControl(int controlId);
HWND WaitForDialogWithControl(int controlId, DWORD timeoutMs = 5000);
HWND FindMessageBox(const char* textPart);
HWND WaitForMessageBox(const char* textPart, DWORD timeoutMs = 5000);
std::string MessageBoxText(HWND box);
// Windows and controls (found depth-first, also in page dialogs).
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

// Runs fn on a driver thread while the caller runs a modal dialog; join
// with Finish(). Failures inside fn are recorded with gtest's ADD_FAILURE
// (safe from any thread).
class Driver {
public:
    explicit Driver(std::function<void()> fn);
    ~Driver();
    void Finish();

private:
    std::thread thread_;
};

// Saves a PNG of one window (for the documentation pictures; tests never
// depend on it). True on success.
bool ScreenshotWindow(HWND w, const std::string& pngPath);
// The folder named by the environment variable SETUP_SCREENSHOTS (a Unix
// path), or "" when it is not set: pictures are taken only on request.
std::string ScreenshotDir();

// For a driver in another process (the end-to-end driver): the visible
// top-level windows of process pid (0: of every process); a visible control
// below root (hidden pages keep theirs); a key press through the system's
// input queue into w, brought to the foreground first (false: not taken).
std::vector<HWND> TopWindows(DWORD pid);
HWND FindVisibleControl(HWND root, int controlId);
bool SendKey(HWND w, UINT vk);

}  // namespace ui
