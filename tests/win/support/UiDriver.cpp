#include "win/support/UiDriver.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "fw/Handles.h"

namespace ui {

HWND WaitFor(const std::function<HWND()>& pred, DWORD timeoutMs) {
    for (DWORD start = GetTickCount();; Sleep(15))
        if (HWND w = pred()) return w;
        else if (GetTickCount() - start > timeoutMs) return nullptr;
}

using TopList = std::pair<DWORD, std::vector<HWND>>;
static BOOL CALLBACK CollectTop(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<TopList*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if ((!s->first || pid == s->first) && IsWindowVisible(w)) s->second.push_back(w);
    return TRUE;
}

HWND FindTop(DWORD pid, const std::function<bool(HWND)>& test) {
    TopList s{pid, {}};
    EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&s));
    for (HWND w : s.second)  // tested after the enumeration: test may send messages
        if (test(w)) return w;
    return nullptr;
}

static bool IsDialogClass(HWND w) {
    char cls[32] = {0};
    return GetClassNameA(w, cls, sizeof cls) && !lstrcmpA(cls, "#32770");
}

HWND FindControl(HWND root, int controlId) {
    HWND found = root ? GetDlgItem(root, controlId) : nullptr;
    for (HWND c = root ? GetWindow(root, GW_CHILD) : nullptr; c && !found; c = GetWindow(c, GW_HWNDNEXT))
        found = FindControl(c, controlId);
    return found;
}

HWND FindDialogWithControl(int controlId) {
    return FindTop(GetCurrentProcessId(), [&](HWND w) { return IsDialogClass(w) && FindControl(w, controlId); });
}
HWND WaitForDialogWithControl(int controlId, DWORD timeoutMs) {
    return WaitFor([&] { return FindDialogWithControl(controlId); }, timeoutMs);
}

std::string WindowText(HWND w) {
    DWORD_PTR n = 0;
    auto send = [&](UINT msg, WPARAM wp, LPARAM lp) {
        return w && SendMessageTimeoutA(w, msg, wp, lp, SMTO_ABORTIFHUNG, 10000, &n);
    };
    if (!send(WM_GETTEXTLENGTH, 0, 0)) return std::string();
    std::vector<char> buf(n + 2, 0);
    send(WM_GETTEXT, buf.size() - 1, reinterpret_cast<LPARAM>(buf.data()));
    return buf.data();
}

HWND FocusOf(HWND w) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(w, nullptr), &info) ? info.hwndFocus : nullptr;
}

void Key(HWND w, UINT vk) {
    HWND focus = FocusOf(w), target = focus ? focus : w;
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC)) << 16;
    PostMessageA(target, WM_KEYDOWN, vk, scan | 1);
    PostMessageA(target, WM_KEYUP, vk, scan | 1 | (1LL << 30) | (1LL << 31));
}

std::string MessageBoxText(HWND box) { return WindowText(GetDlgItem(box, 0xFFFF)); }
std::string ControlText(HWND root, int controlId) { return WindowText(FindControl(root, controlId)); }

HWND FindMessageBox(const char* textPart, DWORD pid) {
    return FindTop(pid, [&](HWND w) {
        return IsDialogClass(w) && GetDlgItem(w, 0xFFFF) && MessageBoxText(w).find(textPart) != std::string::npos;
    });
}

HWND WaitForMessageBox(const char* textPart, DWORD timeoutMs) {
    return WaitFor([&] { return FindMessageBox(textPart); }, timeoutMs);
}

bool ControlEnabled(HWND root, int controlId) { return IsWindowEnabled(FindControl(root, controlId)) != FALSE; }
bool ControlVisible(HWND root, int controlId) { return IsWindowVisible(FindControl(root, controlId)) != FALSE; }

bool Click(HWND root, int controlId) {
    HWND c = FindControl(root, controlId);
    return c && PostMessageA(GetParent(c), WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED), reinterpret_cast<LPARAM>(c));
}

int CheckState(HWND root, int controlId) {
    HWND c = FindControl(root, controlId);
    return c ? static_cast<int>(SendMessageA(c, BM_GETCHECK, 0, 0)) : -1;
}

std::wstring ControlTextW(HWND root, int controlId) {
    HWND c = FindControl(root, controlId);
    std::vector<wchar_t> buf(static_cast<size_t>(c ? GetWindowTextLengthW(c) : 0) + 2, 0);
    if (c) GetWindowTextW(c, buf.data(), static_cast<int>(buf.size()) - 1);
    return buf.data();
}

bool SetText(HWND root, int controlId, const char* text) {
    HWND c = FindControl(root, controlId);
    return c && SendMessageA(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) == TRUE;
}

std::string Answer(const char* textPart, int buttonId, DWORD timeoutMs) {
    HWND box = WaitForMessageBox(textPart, timeoutMs);
    if (!box) return std::string();
    std::string text = MessageBoxText(box);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, buttonId)));
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

bool Run(const std::string& exe, std::string commandLine, DWORD waitMs, const char* dir, DWORD* pid) {
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, dir, &si, &pi)) return false;
    WaitForSingleObject(pi.hProcess, waitMs);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    if (pid) *pid = pi.dwProcessId;
    return true;
}

std::string ScreenshotDir() { return getenv("SETUP_SCREENSHOTS") ? getenv("SETUP_SCREENSHOTS") : ""; }

// ImageMagick's import grabs the X root window of Wine's display and cuts the
// window's rectangle out of it. The Unix program may outlive the handle's
// wait, so the picture is awaited.
bool ScreenshotWindow(HWND w, const std::string& pngPath) {
    RECT r;
    if (!w || !GetWindowRect(w, &r)) return false;
    RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Sleep(300);
    const std::string file = "Z:" + pngPath;
    DeleteFileA(file.c_str());
    char crop[64];
    wsprintfA(crop, "%dx%d+%d+%d", int(r.right - r.left), int(r.bottom - r.top), int(r.left), int(r.top));
    if (!Run("Z:\\usr\\bin\\import", "import -window root -crop " + std::string(crop) + " +repage " + pngPath, 15000))
        return false;
    WIN32_FILE_ATTRIBUTE_DATA d;
    const HWND saved = WaitFor([&] {
        return GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &d) && d.nFileSizeLow ? HWND(1) : nullptr;
    }, 5000);
    Sleep(100);  // the last bytes
    return saved != nullptr;
}

std::vector<std::string> ReadLink(const std::string& path) {
    ComScope com;
    ComPtr<IShellLinkA> link;
    ComPtr<IPersistFile> persist;
    char got[3][MAX_PATH] = {};
    int iconIndex = 0;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.PutVoid())) ||
        FAILED(link->QueryInterface(IID_IPersistFile, persist.PutVoid())) ||
        FAILED(persist->Load(std::filesystem::path(path).c_str(), STGM_READ)) ||
        FAILED(link->GetPath(got[0], MAX_PATH, nullptr, SLGP_RAWPATH)) ||
        FAILED(link->GetWorkingDirectory(got[1], MAX_PATH)) ||
        FAILED(link->GetIconLocation(got[2], MAX_PATH, &iconIndex)))
        return {};
    return {got[0], got[1], got[2]};
}

}  // namespace ui
