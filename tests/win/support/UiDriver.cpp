#include "win/support/UiDriver.h"

#include <gtest/gtest.h>

#include <vector>

namespace ui {

HWND WaitFor(const std::function<HWND()>& pred, DWORD timeoutMs) {
    for (DWORD start = GetTickCount();; Sleep(15))
        if (HWND w = pred()) return w;
        else if (GetTickCount() - start > timeoutMs) return nullptr;
}

namespace {
struct EnumState {
    std::function<bool(HWND)> test;
    HWND found = nullptr;
};

BOOL CALLBACK EnumTop(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<EnumState*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid != GetCurrentProcessId() || !IsWindowVisible(w)) return TRUE;
    if (s->test(w)) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

HWND FindTop(std::function<bool(HWND)> test) {
    EnumState s{std::move(test)};
    EnumWindows(EnumTop, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

bool IsDialogClass(HWND w) {
    char cls[32] = {0};
    return GetClassNameA(w, cls, sizeof cls) && std::string(cls) == "#32770";
}
}  // namespace

HWND FindControl(HWND root, int controlId) {
    if (!root) return nullptr;
    if (HWND direct = GetDlgItem(root, controlId)) return direct;
    for (HWND c = GetWindow(root, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (HWND deeper = FindControl(c, controlId)) return deeper;
    return nullptr;
}

HWND FindDialogWithControl(int controlId) {
    return FindTop([&](HWND w) { return IsDialogClass(w) && FindControl(w, controlId) != nullptr; });
}

HWND WaitForDialogWithControl(int controlId, DWORD timeoutMs) {
    return WaitFor([&] { return FindDialogWithControl(controlId); }, timeoutMs);
}

std::string WindowText(HWND w) {
    if (!w) return std::string();
    int n = GetWindowTextLengthA(w);
    std::vector<char> buf(static_cast<size_t>(n) + 2, 0);
    GetWindowTextA(w, buf.data(), n + 1);
    return buf.data();
}

HWND FocusOf(HWND w) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(w, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

void Key(HWND w, UINT vk) {
    HWND target = FocusOf(w);
    if (!target) target = w;
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC)) << 16;
    PostMessageA(target, WM_KEYDOWN, vk, scan | 1);
    PostMessageA(target, WM_KEYUP, vk, scan | 1 | (1LL << 30) | (1LL << 31));
}

std::string MessageBoxText(HWND box) { return WindowText(GetDlgItem(box, 0xFFFF)); }

HWND FindMessageBox(const char* textPart) {
    return FindTop([&](HWND w) {
        if (!IsDialogClass(w)) return false;
        HWND text = GetDlgItem(w, 0xFFFF);
        return text && WindowText(text).find(textPart) != std::string::npos;
    });
}

HWND WaitForMessageBox(const char* textPart, DWORD timeoutMs) {
    return WaitFor([&] { return FindMessageBox(textPart); }, timeoutMs);
}

std::string ControlText(HWND root, int controlId) { return WindowText(FindControl(root, controlId)); }

bool ControlEnabled(HWND root, int controlId) {
    HWND c = FindControl(root, controlId);
    return c && IsWindowEnabled(c);
}

bool ControlVisible(HWND root, int controlId) {
    HWND c = FindControl(root, controlId);
    return c && IsWindowVisible(c);
}

bool Click(HWND root, int controlId) {
    HWND c = FindControl(root, controlId);
    if (!c) return false;
    PostMessageA(GetParent(c), WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED), reinterpret_cast<LPARAM>(c));
    return true;
}

int CheckState(HWND root, int controlId) {
    HWND c = FindControl(root, controlId);
    return c ? static_cast<int>(SendMessageA(c, BM_GETCHECK, 0, 0)) : -1;
}

std::wstring ControlTextW(HWND root, int controlId) {
    HWND c = FindControl(root, controlId);
    if (!c) return std::wstring();
    int n = GetWindowTextLengthW(c);
    std::vector<wchar_t> buf(static_cast<size_t>(n) + 2, 0);
    GetWindowTextW(c, buf.data(), n + 1);
    return buf.data();
}

bool SetText(HWND root, int controlId, const char* text) {
    HWND c = FindControl(root, controlId);
    if (!c) return false;
    SendMessageA(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    return true;
}

std::string Answer(const char* textPart, int buttonId, DWORD timeoutMs) {
    HWND box = WaitForMessageBox(textPart, timeoutMs);
    if (!box) return std::string();
    std::string text = MessageBoxText(box);
    HWND button = GetDlgItem(box, buttonId);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    WaitGone(box, timeoutMs);
    return text;
}

std::vector<std::string> AnswerAll(std::initializer_list<std::pair<const char*, int>> boxes, DWORD timeoutMs) {
    std::vector<std::string> texts;
    for (const auto& [text, button] : boxes) {
        texts.push_back(Answer(text, button, timeoutMs));
        if (texts.back().empty()) {
            ADD_FAILURE() << "no message box with \"" << text << "\"";
            break;
        }
    }
    return texts;
}

bool WaitGone(HWND w, DWORD timeoutMs) {
    return WaitFor([&] { return IsWindow(w) && IsWindowVisible(w) ? nullptr : HWND(1); }, timeoutMs) != nullptr;
}

Driver::Driver(std::function<void()> fn) : thread_(std::move(fn)) {}

Driver::~Driver() { Finish(); }

void Driver::Finish() {
    if (thread_.joinable()) thread_.join();
}

namespace {
// Runs a Unix program (Wine starts one given by its Z: path as a native
// process) and waits for the file it writes: the native process may outlive
// the handle's wait.
bool RunUnix(const char* program, const std::string& commandLine, const std::string& output) {
    DeleteFileA(("Z:" + output).c_str());
    std::vector<char> buf(commandLine.begin(), commandLine.end());
    buf.push_back(0);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(program, buf.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    WaitForSingleObject(pi.hProcess, 15000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    for (int i = 0; i < 100; ++i, Sleep(50)) {
        WIN32_FILE_ATTRIBUTE_DATA d;
        if (GetFileAttributesExA(("Z:" + output).c_str(), GetFileExInfoStandard, &d) && d.nFileSizeLow > 0)
            return Sleep(100), true;
    }
    return false;
}
}  // namespace

std::string ScreenshotDir() {
    char buf[1024] = {0};
    DWORD n = GetEnvironmentVariableA("SETUP_SCREENSHOTS", buf, sizeof buf);
    return n > 0 && n < sizeof buf ? std::string(buf) : std::string();
}

// ImageMagick's import grabs the X root window of Wine's display; convert
// cuts the window's rectangle out of it.
bool ScreenshotWindow(HWND w, const std::string& pngPath) {
    RECT r;
    if (!w || !GetWindowRect(w, &r)) return false;
    RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Sleep(300);
    const std::string whole = pngPath + ".screen.png";
    char geometry[64];
    wsprintfA(geometry, "%dx%d+%d+%d", static_cast<int>(r.right - r.left), static_cast<int>(r.bottom - r.top),
              static_cast<int>(r.left), static_cast<int>(r.top));
    bool ok = RunUnix("Z:\\usr\\bin\\import", "import -window root " + whole, whole) &&
              RunUnix("Z:\\usr\\bin\\convert", "convert " + whole + " -crop " + geometry + " +repage " + pngPath, pngPath);
    DeleteFileA(("Z:" + whole).c_str());
    return ok;
}

namespace {
BOOL CALLBACK CollectTop(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<std::pair<DWORD, std::vector<HWND>>*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if ((s->first == 0 || pid == s->first) && IsWindowVisible(w)) s->second.push_back(w);
    return TRUE;
}
}  // namespace

std::vector<HWND> TopWindows(DWORD pid) {
    std::pair<DWORD, std::vector<HWND>> s{pid, {}};
    EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&s));
    return s.second;
}

HWND FindVisibleControl(HWND root, int controlId) {
    for (HWND c = root ? GetWindow(root, GW_CHILD) : nullptr; c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (!IsWindowVisible(c)) continue;
        if (GetDlgCtrlID(c) == controlId) return c;
        if (HWND d = FindVisibleControl(c, controlId)) return d;
    }
    return nullptr;
}

bool SendKey(HWND w, UINT vk) {
    if (!WaitFor([&] { return SetForegroundWindow(w), GetForegroundWindow() == w ? w : nullptr; }, 3000)) return false;
    INPUT in[2] = {};
    for (int i = 0; i < 2; ++i) {
        in[i].type = INPUT_KEYBOARD;
        in[i].ki.wVk = static_cast<WORD>(vk);
        in[i].ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
        in[i].ki.dwFlags = i ? KEYEVENTF_KEYUP : 0;
    }
    return SendInput(2, in, sizeof(INPUT)) == 2;
}

}  // namespace ui
