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

// A visible top-level window of this process that has a child (or
// grandchild) with the given control id and, when given, the class "#32770".
HWND FindDialogWithControl(int controlId);
HWND WaitForDialogWithControl(int controlId, DWORD timeoutMs = 5000);

// A visible message box of this process whose text (control 0xFFFF)
// contains the given text.
HWND FindMessageBox(const char* textPart);
HWND WaitForMessageBox(const char* textPart, DWORD timeoutMs = 5000);
std::string MessageBoxText(HWND box);

// Text of a window or of a dialog item (searched in nested child dialogs).
std::string WindowText(HWND w);
HWND FindControl(HWND root, int controlId);  // depth-first, also in page dialogs
std::string ControlText(HWND root, int controlId);
bool ControlEnabled(HWND root, int controlId);
bool ControlVisible(HWND root, int controlId);

// Clicks a button: posts BN_CLICKED to the button's parent, the way a mouse
// click reaches the dialog. Returns false when there is no such control.
bool Click(HWND root, int controlId);
// Check state of a button (BST_CHECKED 1, BST_UNCHECKED 0).
int CheckState(HWND root, int controlId);
// Wide-character text of a control (for text that is not ANSI).
std::wstring ControlTextW(HWND root, int controlId);
// Sets an edit control's text (sends WM_SETTEXT, which raises EN_CHANGE).
bool SetText(HWND root, int controlId, const char* text);
// Waits for a message box containing textPart and presses button id on it
// (IDYES, IDNO, IDOK). Returns the box's full text, or "" on time-out.
std::string Answer(const char* textPart, int buttonId, DWORD timeoutMs = 5000);
// Answers message boxes in the order given (text part, button); a box that
// does not come is a test failure. Returns the texts of the boxes answered.
std::vector<std::string> AnswerAll(std::initializer_list<std::pair<const char*, int>> boxes, DWORD timeoutMs = 5000);

// The window that has the keyboard focus in w's thread (nullptr: none).
HWND FocusOf(HWND w);
// A key press as the dialog manager meets it: WM_KEYDOWN and WM_KEYUP
// posted to the focus window of w's thread (to w when nothing has it).
void Key(HWND w, UINT vk);

// Waits until the window is gone.
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
