// e2edriver: drives the real setup.exe from outside, the way a user does.
//
// It runs beside the setup in the same Wine prefix, reads a scenario (one
// command a line, see the table in Run below), starts the setup from the
// medium's drive, finds the setup's windows by their control ids and
// message-box texts, clicks and types (or presses real keys into the setup's
// foreground window), swaps disks by re-pointing the drive
// letter, waits for the setup to end and then checks what it left behind:
// files byte for byte with their times and attributes, registry values and
// shell links. Exit code 0 when every command passed, 1 on the first failure
// (the setup is then ended and the visible windows are listed).
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void Fail(const std::string& why) { throw Failure(why); }

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
}

// ------------------------------------------------------------------ windows

std::string WindowText(HWND w) {
    if (!w) return {};
    char buf[4096] = {0};
    // Sent with a time-out: a hung setup must not hang the driver too.
    DWORD_PTR n = 0;
    if (!SendMessageTimeoutA(w, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 3000, &n))
        return {};
    return buf;
}

std::string ClassName(HWND w) {
    char cls[64] = {0};
    GetClassNameA(w, cls, sizeof cls);
    return cls;
}

bool IsDialog(HWND w) { return ClassName(w) == "#32770"; }

struct TopWindowSearch {
    DWORD pid;
    std::vector<HWND> out;
};

// A window procedure's calling convention, which a lambda does not have.
BOOL CALLBACK CollectTopWindow(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<TopWindowSearch*>(lp);
    DWORD p = 0;
    GetWindowThreadProcessId(w, &p);
    if ((s->pid == 0 || p == s->pid) && IsWindowVisible(w)) s->out.push_back(w);
    return TRUE;
}

std::vector<HWND> TopWindows(DWORD pid) {
    TopWindowSearch s{pid, {}};
    EnumWindows(CollectTopWindow, reinterpret_cast<LPARAM>(&s));
    return s.out;
}

// A visible control with this id anywhere below root (pages are child
// dialogs of the frame; hidden pages keep their controls, so only visible
// ones count).
HWND FindVisibleControl(HWND root, int id) {
    for (HWND c = GetWindow(root, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (!IsWindowVisible(c)) continue;
        if (GetDlgCtrlID(c) == id) return c;
        if (HWND d = FindVisibleControl(c, id)) return d;
    }
    return nullptr;
}

void DumpControls(HWND w, int depth, std::string& out) {
    for (HWND c = GetWindow(w, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (!IsWindowVisible(c)) continue;
        out += std::string(static_cast<size_t>(depth) * 2, ' ') + "  id " + std::to_string(GetDlgCtrlID(c)) + " " +
               ClassName(c) + " \"" + WindowText(c).substr(0, 60) + "\"" + (IsWindowEnabled(c) ? "" : " (disabled)") +
               "\n";
        if (IsDialog(c)) DumpControls(c, depth + 1, out);
    }
}

std::string DumpWindows(DWORD pid) {
    std::string out;
    for (HWND w : TopWindows(pid)) {
        out += "window " + ClassName(w) + " \"" + WindowText(w) + "\"\n";
        DumpControls(w, 0, out);
    }
    return out.empty() ? "no visible window\n" : out;
}

// ------------------------------------------------------------------ helpers

std::wstring Wide(const std::string& s) {
    int n = MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, w.data(), n);
    w.resize(static_cast<size_t>(n > 0 ? n - 1 : 0));
    return w;
}

// Starts a Unix program (Wine runs an ELF file given by its Z: path as a
// native process) and waits for it.
void RunUnix(const std::string& program, const std::string& args) {
    std::string exe = "Z:" + program;
    for (char& c : exe)
        if (c == '/') c = '\\';
    std::string line = program + " " + args;
    std::vector<char> buf(line.begin(), line.end());
    buf.push_back(0);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(exe.c_str(), buf.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        Fail("cannot start " + program);
    WaitForSingleObject(pi.hProcess, 30000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

std::string UnixToWine(const std::string& unixPath) {
    std::string p = "Z:" + unixPath;
    for (char& c : p)
        if (c == '/') c = '\\';
    return p;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadWholeFile(const std::string& path, bool* ok = nullptr) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        if (ok) *ok = false;
        return {};
    }
    std::string data;
    char buf[65536];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0) data.append(buf, got);
    CloseHandle(h);
    if (ok) *ok = true;
    return data;
}

std::string FormatTime(const FILETIME& ft) {
    SYSTEMTIME st;
    FileTimeToSystemTime(&ft, &st);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u.%03u UTC", st.wYear, st.wMonth, st.wDay, st.wHour,
                  st.wMinute, st.wSecond, st.wMilliseconds);
    return buf;
}

// Lists the files below root (relative names, folders end with '\').
void ListTree(const std::string& root, const std::string& rel, std::set<std::string>& out) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((root + (rel.empty() ? "" : "\\" + rel) + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = fd.cFileName;
        if (name == "." || name == "..") continue;
        std::string r = rel.empty() ? name : rel + "\\" + name;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out.insert(r + "\\");
            ListTree(root, r, out);
        } else {
            out.insert(r);
        }
    } while (FindNextFileA(h, &fd));
    FindClose(h);
}

// The attribute bits that an archive or a user can give a file.
constexpr DWORD kCompared = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// Compares one installed file with its reference: bytes, last-write time,
// attributes. Returns "" when equal, else what differs.
std::string CompareFile(const std::string& got, const std::string& want) {
    WIN32_FILE_ATTRIBUTE_DATA a, b;
    if (!GetFileAttributesExA(got.c_str(), GetFileExInfoStandard, &a)) return "missing";
    if (!GetFileAttributesExA(want.c_str(), GetFileExInfoStandard, &b)) return "reference missing";
    bool okA = false, okB = false;
    std::string da = ReadWholeFile(got, &okA), db = ReadWholeFile(want, &okB);
    if (!okA) return "cannot be read";
    if (da.size() != db.size())
        return "size " + std::to_string(da.size()) + ", expected " + std::to_string(db.size());
    if (da != db) {
        size_t at = 0;
        while (da[at] == db[at]) ++at;
        return "bytes differ from offset " + std::to_string(at);
    }
    if (CompareFileTime(&a.ftLastWriteTime, &b.ftLastWriteTime) != 0)
        return "last-write time " + FormatTime(a.ftLastWriteTime) + ", expected " + FormatTime(b.ftLastWriteTime);
    if ((a.dwFileAttributes & kCompared) != (b.dwFileAttributes & kCompared)) {
        char buf[80];
        std::snprintf(buf, sizeof buf, "attributes 0x%lx, expected 0x%lx", a.dwFileAttributes & kCompared,
                      b.dwFileAttributes & kCompared);
        return buf;
    }
    return {};
}

HKEY RootKey(std::string& path) {
    size_t slash = path.find('\\');
    std::string root = path.substr(0, slash);
    path = slash == std::string::npos ? "" : path.substr(slash + 1);
    root = Lower(root);
    if (root == "hklm" || root == "hkey_local_machine") return HKEY_LOCAL_MACHINE;
    if (root == "hkcu" || root == "hkey_current_user") return HKEY_CURRENT_USER;
    Fail("unknown registry root " + root);
}

// ------------------------------------------------------------------ scenario

std::vector<std::string> SplitWords(const std::string& line) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i >= line.size() || (words.empty() && line[i] == '#')) break;  // a comment line
        std::string w;
        if (line[i] == '"') {
            ++i;
            while (i < line.size() && line[i] != '"') {
                if (line[i] == '\\' && i + 1 < line.size() && (line[i + 1] == 'n' || line[i + 1] == '"')) {
                    w += line[i + 1] == 'n' ? '\n' : '"';
                    i += 2;
                    continue;
                }
                w += line[i++];
            }
            ++i;
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t') w += line[i++];
        }
        words.push_back(w);
    }
    return words;
}

// Folders that differ between prefixes and users, for %NAME% in scenarios.
std::string Expand(std::string word) {
    static const std::pair<const char*, int> folders[] = {
        {"%DESKTOP%", CSIDL_DESKTOPDIRECTORY}, {"%PROGRAMS%", CSIDL_PROGRAMS}, {"%WINDIR%", CSIDL_WINDOWS}};
    for (const auto& [name, csidl] : folders) {
        size_t at = word.find(name);
        if (at == std::string::npos) continue;
        char path[MAX_PATH] = {0};
        if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, 0, path))) Fail(std::string("no folder for ") + name);
        word.replace(at, std::strlen(name), path);
    }
    return word;
}

class Scenario {
public:
    int Run(const std::string& file);

private:
    void Execute(const std::vector<std::string>& w);
    const std::string& Arg(const std::vector<std::string>& w, size_t i) {
        if (i >= w.size()) Fail("missing argument " + std::to_string(i));
        return w[i];
    }
    DWORD Timeout(const std::vector<std::string>& w, size_t i, DWORD fallback) {
        return i < w.size() ? static_cast<DWORD>(std::stoul(w[i])) : fallback;
    }

    HWND WaitWindow(const std::string& what, DWORD timeoutMs, const std::function<bool(HWND)>& test, DWORD pid);
    HWND WaitPage(const std::string& name, DWORD timeoutMs);
    bool SetupEnded(DWORD ms);
    HWND WaitMessageBox(const std::string& textPart, DWORD timeoutMs);
    HWND Control(int id);
    void Click(int id);
    GUITHREADINFO SetupFocus();
    void PressKey(const std::string& keyName);
    void Screenshot(const std::string& name, HWND w);
    void PauseForPaint() { Sleep(250); }

    HANDLE setup_ = nullptr;
    DWORD setupPid_ = 0;
    HWND current_ = nullptr;  // the window that click/type/shot act on
    std::string shotsDir_;    // Unix folder for the pictures, empty for none
};

// Whether the setup has ended within ms. The process is opened anew by its
// id each time: a handle kept from CreateProcess was seen signalled while
// the setup still ran once Unix programs (the picture taker) had been
// started and their handles closed.
bool Scenario::SetupEnded(DWORD ms) {
    HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, setupPid_);
    if (!h) return true;
    bool ended = WaitForSingleObject(h, ms) == WAIT_OBJECT_0;
    CloseHandle(h);
    return ended;
}

HWND Scenario::WaitWindow(const std::string& what, DWORD timeoutMs, const std::function<bool(HWND)>& test,
                          DWORD pid) {
    DWORD start = GetTickCount();
    for (;;) {
        for (HWND w : TopWindows(pid))
            if (test(w)) return w;
        if (GetTickCount() - start > timeoutMs) Fail("timed out waiting for " + what);
        // Ended: its handle is signalled and none of its windows is left.
        if (pid && setup_ && SetupEnded(0) && TopWindows(pid).empty())
            Fail("the setup ended while waiting for " + what);
        Sleep(20);
    }
}

// Pages are known by the controls that only they have (template ids are not
// visible from outside).
HWND Scenario::WaitPage(const std::string& name, DWORD timeoutMs) {
    struct Sig {
        std::vector<int> ids;
        const char* text;  // text of the first id, or null
    };
    static const std::map<std::string, Sig> pages = {
        {"welcome", {{1018}, "Welcome to the Setup Wizard"}},
        {"destination", {{1000, 1001, 1008}, nullptr}},
        {"language", {{1014, 1006, 1007}, nullptr}},
        {"agreement", {{1018, 1020, 1021}, nullptr}},
        {"complete", {{1015}, nullptr}},
        {"restart", {{1017, 1018}, nullptr}},
    };
    auto it = pages.find(name);
    if (it == pages.end()) Fail("unknown page " + name);
    const Sig& sig = it->second;
    return WaitWindow(
        "page " + name, timeoutMs,
        [&](HWND w) {
            if (!IsDialog(w) || !GetDlgItem(w, 12325)) return false;
            for (int id : sig.ids)
                if (!FindVisibleControl(w, id)) return false;
            return !sig.text || WindowText(FindVisibleControl(w, sig.ids[0])) == sig.text;
        },
        setupPid_);
}

HWND Scenario::WaitMessageBox(const std::string& textPart, DWORD timeoutMs) {
    return WaitWindow(
        "message box \"" + textPart + "\"", timeoutMs,
        [&](HWND w) {
            HWND text = GetDlgItem(w, 0xFFFF);
            return IsDialog(w) && text && WindowText(text).find(textPart) != std::string::npos;
        },
        setupPid_);
}

HWND Scenario::Control(int id) {
    if (!current_ || !IsWindow(current_)) Fail("no current window");
    HWND c = FindVisibleControl(current_, id);
    if (!c) Fail("no visible control " + std::to_string(id));
    return c;
}

// A click as the mouse gives it: only on a visible, enabled button, posted
// (BM_CLICK) so that a click that opens a modal loop never blocks us.
// A control that an earlier posted click is about to enable gets 3 s.
void Scenario::Click(int id) {
    HWND c = Control(id);
    DWORD start = GetTickCount();
    while (!IsWindowEnabled(c)) {
        if (GetTickCount() - start > 3000) Fail("control " + std::to_string(id) + " is disabled");
        Sleep(20);
        c = Control(id);
    }
    PostMessageA(c, BM_CLICK, 0, 0);
}

// The setup's user-interface thread's focus and active window.
GUITHREADINFO Scenario::SetupFocus() {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    std::vector<HWND> windows = TopWindows(setupPid_);
    if (windows.empty()) Fail("the setup shows no window");
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(windows.front(), nullptr), &info)) Fail("no thread information");
    return info;
}

// One key press (NAME, or shift+NAME) as the keyboard gives it: the setup's
// active window is brought to the foreground and the press goes through the
// system's input queue, so the setup's dialog manager sees a real key.
void Scenario::PressKey(const std::string& keyName) {
    static const std::map<std::string, WORD> keys = {
        {"tab", VK_TAB},   {"enter", VK_RETURN}, {"esc", VK_ESCAPE}, {"space", VK_SPACE},
        {"up", VK_UP},     {"down", VK_DOWN},    {"left", VK_LEFT},  {"right", VK_RIGHT},
    };
    std::string name = Lower(keyName);
    const bool shift = name.rfind("shift+", 0) == 0;
    if (shift) name = name.substr(6);
    WORD vk = 0;
    if (auto it = keys.find(name); it != keys.end()) vk = it->second;
    else if (name.size() == 1 && isalnum(static_cast<unsigned char>(name[0])))
        vk = static_cast<WORD>(toupper(static_cast<unsigned char>(name[0])));
    else Fail("unknown key " + keyName);

    HWND active = SetupFocus().hwndActive;
    if (!active) Fail("the setup has no active window");
    DWORD start = GetTickCount();
    while (GetForegroundWindow() != active) {
        if (GetTickCount() - start > 3000) Fail("the setup's window does not come to the foreground");
        SetForegroundWindow(active);
        Sleep(20);
    }
    std::vector<INPUT> input;
    auto add = [&](WORD key, bool up) {
        INPUT in = {};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = key;
        in.ki.wScan = static_cast<WORD>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC));
        in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        input.push_back(in);
    };
    if (shift) add(VK_SHIFT, false);
    add(vk, false);
    add(vk, true);
    if (shift) add(VK_SHIFT, true);
    if (SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT)) != input.size())
        Fail("the key press was not taken");
    Sleep(100);  // the setup reacts before the next step looks
}

void Scenario::Screenshot(const std::string& name, HWND w) {
    if (shotsDir_.empty()) return;
    PauseForPaint();
    std::string crop;
    RECT r;
    if (w && GetWindowRect(w, &r)) {
        // Wine draws the frame and caption itself (no window manager).
        char buf[80];
        std::snprintf(buf, sizeof buf, " -crop %ldx%ld+%ld+%ld +repage", r.right - r.left, r.bottom - r.top, r.left,
                      r.top);
        crop = buf;
    }
    std::string out = shotsDir_ + "/" + name + ".png";
    DeleteFileA(UnixToWine(out).c_str());
    RunUnix("/usr/bin/import", "-window root" + crop + " " + out);
    // The native process may outlive Wine's handle of it.
    for (int i = 0; i < 200 && !Exists(UnixToWine(out)); ++i) Sleep(25);
    Sleep(100);
}

void Scenario::Execute(const std::vector<std::string>& w) {
    const std::string& cmd = w[0];
    // For a person watching (the demo): a pause before every action.
    static const DWORD pace = getenv("E2E_PACE") ? static_cast<DWORD>(atoi(getenv("E2E_PACE"))) : 0;
    if (pace && (cmd == "click" || cmd == "press" || cmd == "type" || cmd == "select" || cmd == "check" ||
                 cmd == "answer" || cmd == "close" || cmd == "disk"))
        Sleep(pace);
    if (cmd == "shots") {  // shots UNIXDIR: where `shot` saves its pictures
        shotsDir_ = Arg(w, 1);
    } else if (cmd == "start") {  // start [PATH]: the setup, from the medium
        std::string exe = w.size() > 1 ? w[1] : "A:\\setup.exe";
        std::string line = "\"" + exe + "\"";
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        std::vector<char> buf(line.begin(), line.end());
        buf.push_back(0);
        // Started from C:\ like a double-click in a file window: the setup
        // must find its medium through its own path, not the current folder.
        if (!CreateProcessA(exe.c_str(), buf.data(), nullptr, nullptr, FALSE, 0, nullptr, "C:\\", &si, &pi))
            Fail("cannot start " + exe + ": error " + std::to_string(GetLastError()));
        setup_ = pi.hProcess;
        setupPid_ = pi.dwProcessId;
        CloseHandle(pi.hThread);
    } else if (cmd == "frame") {  // frame [ms]: the wizard frame, whatever page it shows
        current_ = WaitWindow(
            "wizard frame", Timeout(w, 1, 15000),
            [](HWND h) { return IsDialog(h) && GetDlgItem(h, 12325) && GetDlgItem(h, 12323); }, setupPid_);
    } else if (cmd == "page") {  // page NAME [ms]: wait for a wizard page
        current_ = WaitPage(Arg(w, 1), Timeout(w, 2, 15000));
    } else if (cmd == "progress") {  // progress [ms]: the progress dialog
        current_ = WaitWindow(
            "progress dialog", Timeout(w, 1, 15000),
            [](HWND h) { return IsDialog(h) && GetDlgItem(h, 1009) && GetDlgItem(h, 1012); }, setupPid_);
    } else if (cmd == "diskprompt") {  // diskprompt DISKTEXT DRIVE [ms]
        std::string disk = Arg(w, 1), drive = Arg(w, 2);
        current_ = WaitWindow(
            "disk prompt " + disk, Timeout(w, 3, 15000),
            [&](HWND h) {
                // The texts are part of the match: the prompt answered in the
                // previous step may still be on its way out.
                return IsDialog(h) && WindowText(h) == "Replace Disk" && GetDlgItem(h, 1008) && GetDlgItem(h, 1011) &&
                       WindowText(GetDlgItem(h, 1008)) == disk && WindowText(GetDlgItem(h, 1011)) == drive;
            },
            setupPid_);
        std::string gotDisk = WindowText(GetDlgItem(current_, 1008)), gotDrive = WindowText(GetDlgItem(current_, 1011));
        if (gotDisk != disk || gotDrive != drive)
            Fail("disk prompt asks for " + gotDisk + " in " + gotDrive + ", expected " + disk + " in " + drive);
    } else if (cmd == "picker") {  // picker [ms]: the folder picker (path box 14148)
        current_ = WaitWindow(
            "folder picker", Timeout(w, 1, 15000),
            [](HWND h) { return IsDialog(h) && GetDlgItem(h, 14148) && GetDlgItem(h, 14145); }, setupPid_);
    } else if (cmd == "waittext") {  // waittext ID TEXTPART [ms]: a control of the current window shows it
        int id = std::stoi(Arg(w, 1));
        const std::string& part = Arg(w, 2);
        DWORD start = GetTickCount(), limit = Timeout(w, 3, 15000);
        for (;;) {
            HWND c = current_ && IsWindow(current_) ? GetDlgItem(current_, id) : nullptr;
            if (!c && current_) c = FindVisibleControl(current_, id);
            if (c && WindowText(c).find(part) != std::string::npos) break;
            if (GetTickCount() - start > limit)
                Fail("control " + std::to_string(id) + " shows \"" + WindowText(c) + "\", not \"" + part + "\"");
            Sleep(5);
        }
    } else if (cmd == "click") {  // click ID
        Click(std::stoi(Arg(w, 1)));
    } else if (cmd == "press") {  // press KEY...: real keys (tab shift+tab enter esc space arrows A-Z)
        for (size_t i = 1; i < w.size(); ++i) PressKey(w[i]);
    } else if (cmd == "focus") {  // focus ID [ms]: the setup's keyboard focus is on control ID
        const int id = std::stoi(Arg(w, 1));
        DWORD start = GetTickCount(), limit = Timeout(w, 2, 3000);
        for (;;) {
            HWND focus = SetupFocus().hwndFocus;
            if (focus && GetDlgCtrlID(focus) == id) break;
            if (GetTickCount() - start > limit)
                Fail("the focus is on " + (focus ? "control " + std::to_string(GetDlgCtrlID(focus)) + " " +
                                                       ClassName(focus) + " \"" + WindowText(focus) + "\""
                                                 : std::string("no window")));
            Sleep(20);
        }
    } else if (cmd == "close") {  // close: the title bar's close box of the current window
        if (!current_) Fail("no current window");
        PostMessageA(current_, WM_SYSCOMMAND, SC_CLOSE, 0);
    } else if (cmd == "type") {  // type ID TEXT: replaces an edit control's text (raises EN_CHANGE)
        HWND c = Control(std::stoi(Arg(w, 1)));
        DWORD_PTR r = 0;
        SendMessageTimeoutA(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Arg(w, 2).c_str()), SMTO_ABORTIFHUNG, 5000, &r);
        if (WindowText(c) != Arg(w, 2)) Fail("typing into " + Arg(w, 1) + " did not take");
    } else if (cmd == "select") {  // select ID INDEX: a combo box entry
        HWND c = Control(std::stoi(Arg(w, 1)));
        int index = std::stoi(Arg(w, 2));
        DWORD_PTR r = 0;
        SendMessageTimeoutA(c, CB_SETCURSEL, static_cast<WPARAM>(index), 0, SMTO_ABORTIFHUNG, 5000, &r);
        if (static_cast<int>(r) != index) Fail("combo " + Arg(w, 1) + " has no entry " + Arg(w, 2));
    } else if (cmd == "check") {  // check ID 0|1: set a check box by clicking it when needed
        HWND c = Control(std::stoi(Arg(w, 1)));
        LRESULT want = std::stoi(Arg(w, 2)) ? BST_CHECKED : BST_UNCHECKED;
        if (SendMessageA(c, BM_GETCHECK, 0, 0) != want) Click(std::stoi(Arg(w, 1)));
        DWORD start = GetTickCount();
        while (SendMessageA(c, BM_GETCHECK, 0, 0) != want) {
            if (GetTickCount() - start > 5000) Fail("check box " + Arg(w, 1) + " does not change");
            Sleep(10);
        }
    } else if (cmd == "expect") {  // expect ID checked|unchecked|enabled|disabled|text=...: within 3 s
        const std::string& what = Arg(w, 2);
        DWORD start = GetTickCount();
        for (;;) {
            HWND c = Control(std::stoi(Arg(w, 1)));
            bool ok;
            if (what == "checked") ok = SendMessageA(c, BM_GETCHECK, 0, 0) == BST_CHECKED;
            else if (what == "unchecked") ok = SendMessageA(c, BM_GETCHECK, 0, 0) == BST_UNCHECKED;
            else if (what == "enabled") ok = IsWindowEnabled(c);
            else if (what == "disabled") ok = !IsWindowEnabled(c);
            else if (what.rfind("text=", 0) == 0) ok = WindowText(c) == what.substr(5);
            else Fail("unknown expectation " + what);
            if (ok) break;
            if (GetTickCount() - start > 3000)
                Fail("control " + Arg(w, 1) + " is not " + what + " (text \"" + WindowText(c) + "\")");
            Sleep(20);
        }
    } else if (cmd == "gone") {  // gone [ms]: the current window has closed
        DWORD start = GetTickCount(), limit = Timeout(w, 1, 10000);
        while (current_ && IsWindow(current_) && IsWindowVisible(current_)) {
            if (GetTickCount() - start > limit) Fail("the window does not close");
            Sleep(10);
        }
    } else if (cmd == "expect-caption") {  // expect-caption TEXT: the current window's caption
        if (WindowText(current_) != Arg(w, 1))
            Fail("caption is \"" + WindowText(current_) + "\", expected \"" + Arg(w, 1) + "\"");
    } else if (cmd == "box") {  // box TEXTPART [ms]: wait for a message box; it becomes current
        current_ = WaitMessageBox(Arg(w, 1), Timeout(w, 2, 15000));
    } else if (cmd == "answer") {  // answer TEXTPART yes|no|ok [ms]: press a button of a message box
        HWND box = WaitMessageBox(Arg(w, 1), Timeout(w, 3, 15000));
        std::string b = Lower(Arg(w, 2));
        int id = b == "yes" ? IDYES : b == "no" ? IDNO : b == "ok" ? IDOK : b == "cancel" ? IDCANCEL : 0;
        HWND button = GetDlgItem(box, id);
        if (!button) Fail("the box \"" + WindowText(GetDlgItem(box, 0xFFFF)) + "\" has no " + b + " button");
        PostMessageA(button, BM_CLICK, 0, 0);
        DWORD start = GetTickCount();
        while (IsWindow(box) && IsWindowVisible(box)) {
            if (GetTickCount() - start > 10000) Fail("the box does not close");
            Sleep(10);
        }
    } else if (cmd == "expect-box-caption") {  // caption of the current message box
        if (WindowText(current_) != Arg(w, 1))
            Fail("box caption \"" + WindowText(current_) + "\", expected \"" + Arg(w, 1) + "\"");
    } else if (cmd == "no-box") {  // no-box MS: no message box appears within MS
        DWORD start = GetTickCount(), limit = Timeout(w, 1, 1000);
        while (GetTickCount() - start < limit) {
            for (HWND h : TopWindows(setupPid_))
                if (IsDialog(h) && GetDlgItem(h, 0xFFFF))
                    Fail("unexpected message box \"" + WindowText(GetDlgItem(h, 0xFFFF)) + "\"");
            Sleep(20);
        }
    } else if (cmd == "shot") {  // shot NAME: picture of the current window
        Screenshot(Arg(w, 1), current_);
    } else if (cmd == "sleep") {
        Sleep(static_cast<DWORD>(std::stoul(Arg(w, 1))));
    } else if (cmd == "disk") {  // disk UNIXDIR [FILE]: re-point drive A: (FILE: wait until A: shows it)
        const char* prefix = getenv("WINEPREFIX");
        if (!prefix) Fail("WINEPREFIX is not set");
        RunUnix("/bin/ln", std::string("-sfn ") + Arg(w, 1) + " " + prefix + "/dosdevices/a:");
        if (w.size() > 2) {
            DWORD start = GetTickCount();
            while (!Exists("A:\\" + w[2])) {
                if (GetTickCount() - start > 10000) Fail("A: does not show " + w[2]);
                Sleep(20);
            }
        } else {
            Sleep(300);
        }
    } else if (cmd == "ended") {  // ended [ms]: the setup has ended
        if (!setup_) Fail("the setup was not started");
        if (!SetupEnded(Timeout(w, 1, 30000))) Fail("the setup does not end");
        current_ = nullptr;
    } else if (cmd == "running") {  // running MS: the setup is still running after MS
        Sleep(Timeout(w, 1, 500));
        if (SetupEnded(0)) Fail("the setup has ended");
    } else if (cmd == "exists") {  // exists PATH
        if (!Exists(Arg(w, 1))) Fail(Arg(w, 1) + " does not exist");
    } else if (cmd == "missing") {  // missing PATH
        if (Exists(Arg(w, 1))) Fail(Arg(w, 1) + " exists");
    } else if (cmd == "wait-file") {  // wait-file PATH [ms]
        DWORD start = GetTickCount(), limit = Timeout(w, 2, 15000);
        while (!Exists(Arg(w, 1))) {
            if (GetTickCount() - start > limit) Fail(Arg(w, 1) + " did not appear");
            Sleep(50);
        }
    } else if (cmd == "same-file") {  // same-file PATH REFERENCE: bytes, time, attributes
        std::string why = CompareFile(Arg(w, 1), Arg(w, 2));
        if (!why.empty()) Fail(Arg(w, 1) + ": " + why);
    } else if (cmd == "file-text") {  // file-text PATH TEXT: the whole file holds exactly TEXT
        bool ok = false;
        std::string data = ReadWholeFile(Arg(w, 1), &ok);
        if (!ok) Fail(Arg(w, 1) + " cannot be read");
        if (data != Arg(w, 2)) Fail(Arg(w, 1) + " holds \"" + data + "\", expected \"" + Arg(w, 2) + "\"");
    } else if (cmd == "file-has") {  // file-has PATH TEXT: the file holds TEXT somewhere
        bool ok = false;
        std::string data = ReadWholeFile(Arg(w, 1), &ok);
        if (!ok) Fail(Arg(w, 1) + " cannot be read");
        if (data.find(Arg(w, 2)) == std::string::npos)
            Fail(Arg(w, 1) + " holds \"" + data + "\", without \"" + Arg(w, 2) + "\"");
    } else if (cmd == "tree") {  // tree DIR REFERENCE [EXTRA...]: the same files, each equal to its
                                 // reference; EXTRA names (relative to DIR) may be there besides
        std::set<std::string> got, want;
        ListTree(Arg(w, 1), "", got);
        for (size_t i = 3; i < w.size(); ++i) got.erase(w[i]);
        ListTree(Arg(w, 2), "", want);
        std::string problems;
        int n = 0;
        for (const auto& f : want)
            if (!got.count(f) && n++ < 20) problems += "  missing: " + f + "\n";
        for (const auto& f : got)
            if (!want.count(f) && n++ < 20) problems += "  unexpected: " + f + "\n";
        for (const auto& f : want) {
            if (f.back() == '\\' || !got.count(f)) continue;
            std::string why = CompareFile(Arg(w, 1) + "\\" + f, Arg(w, 2) + "\\" + f);
            if (!why.empty() && n++ < 20) problems += "  " + f + ": " + why + "\n";
        }
        if (!problems.empty()) Fail(Arg(w, 1) + " differs from " + Arg(w, 2) + ":\n" + problems);
        std::printf("  tree %s: %zu entries equal\n", Arg(w, 1).c_str(), want.size());
    } else if (cmd == "reg-set") {  // reg-set KEY NAME sz|dword VALUE
        std::string path = Arg(w, 1);
        HKEY root = RootKey(path);
        HKEY k = nullptr;
        if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr) != ERROR_SUCCESS)
            Fail("cannot create " + Arg(w, 1));
        const std::string& type = Arg(w, 3);
        const std::string& value = Arg(w, 4);
        LONG r;
        if (type == "dword") {
            DWORD d = static_cast<DWORD>(std::stoul(value));
            r = RegSetValueExA(k, Arg(w, 2).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&d), 4);
        } else {
            r = RegSetValueExA(k, Arg(w, 2).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                               static_cast<DWORD>(value.size() + 1));
        }
        RegCloseKey(k);
        if (r != ERROR_SUCCESS) Fail("cannot set " + Arg(w, 2));
    } else if (cmd == "reg") {  // reg KEY NAME sz|dword VALUE: the value exists with this type and data
        std::string path = Arg(w, 1);
        HKEY root = RootKey(path);
        HKEY k = nullptr;
        if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) Fail("no key " + Arg(w, 1));
        BYTE data[1024] = {0};
        DWORD type = 0, size = sizeof data;
        LONG r = RegQueryValueExA(k, Arg(w, 2).c_str(), nullptr, &type, data, &size);
        RegCloseKey(k);
        if (r != ERROR_SUCCESS) Fail("no value " + Arg(w, 1) + "\\" + Arg(w, 2));
        const std::string& want = Arg(w, 4);
        if (Arg(w, 3) == "dword") {
            DWORD d = 0;
            std::memcpy(&d, data, 4);
            if (type != REG_DWORD || size != 4 || d != std::stoul(want))
                Fail(Arg(w, 2) + " is not the DWORD " + want + " (type " + std::to_string(type) + ", " +
                     std::to_string(d) + ")");
        } else {
            std::string got(reinterpret_cast<char*>(data));
            if (type != REG_SZ || got != want || size != want.size() + 1)
                Fail(Arg(w, 2) + " is \"" + got + "\" (type " + std::to_string(type) + ", size " +
                     std::to_string(size) + "), expected the string \"" + want + "\"");
        }
    } else if (cmd == "no-key" || cmd == "key") {  // [no-]key KEY
        std::string path = Arg(w, 1);
        HKEY root = RootKey(path);
        HKEY k = nullptr;
        bool present = RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &k) == ERROR_SUCCESS;
        if (present) RegCloseKey(k);
        if (present != (cmd == "key")) Fail(Arg(w, 1) + (present ? " exists" : " does not exist"));
    } else if (cmd == "link") {  // link LNKPATH TARGET WORKDIR [ICON]: a shell link pointing there
        IShellLinkA* link = nullptr;
        if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                    reinterpret_cast<void**>(&link))))
            Fail("no shell link object");
        IPersistFile* file = nullptr;
        link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
        std::string problem;
        if (!file || FAILED(file->Load(Wide(Arg(w, 1)).c_str(), STGM_READ))) {
            problem = "cannot load " + Arg(w, 1);
        } else {
            char target[MAX_PATH] = {0}, dir[MAX_PATH] = {0}, icon[MAX_PATH] = {0};
            int iconIndex = -1;
            link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
            link->GetWorkingDirectory(dir, MAX_PATH);
            link->GetIconLocation(icon, MAX_PATH, &iconIndex);
            if (Lower(target) != Lower(Arg(w, 2))) problem = std::string("target is ") + target;
            else if (Lower(dir) != Lower(Arg(w, 3))) problem = std::string("working folder is ") + dir;
            else if (w.size() > 4 && Lower(icon) != Lower(w[4])) problem = std::string("icon is ") + icon;
        }
        if (file) file->Release();
        link->Release();
        if (!problem.empty()) Fail(Arg(w, 1) + ": " + problem);
    } else if (cmd == "window") {  // window TITLE [ms]: a window of any process with this title
        const std::string title = Arg(w, 1);
        current_ = WaitWindow(
            "a window titled \"" + title + "\"", Timeout(w, 2, 15000),
            [&](HWND h) { return WindowText(h) == title; }, 0);
    } else if (cmd == "no-window") {  // no-window TITLE [ms]: none appears within ms
        DWORD start = GetTickCount(), limit = Timeout(w, 2, 1500);
        while (GetTickCount() - start < limit) {
            for (HWND h : TopWindows(0))
                if (WindowText(h) == Arg(w, 1)) Fail("a window \"" + Arg(w, 1) + "\" appeared");
            Sleep(50);
        }
    } else if (cmd == "delete") {  // delete PATH: a file a scenario prepared
        SetFileAttributesA(Arg(w, 1).c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(Arg(w, 1).c_str());
    } else if (cmd == "mkfile") {  // mkfile PATH TEXT
        HANDLE h = CreateFileA(Arg(w, 1).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) Fail("cannot create " + Arg(w, 1));
        DWORD n = 0;
        WriteFile(h, Arg(w, 2).data(), static_cast<DWORD>(Arg(w, 2).size()), &n, nullptr);
        CloseHandle(h);
    } else if (cmd == "mkdir") {
        CreateDirectoryA(Arg(w, 1).c_str(), nullptr);
    } else if (cmd == "count") {  // count DIR: prints how many files lie below DIR
        std::set<std::string> files;
        ListTree(Arg(w, 1), "", files);
        size_t n = std::count_if(files.begin(), files.end(), [](const std::string& f) { return f.back() != '\\'; });
        std::printf("  %s holds %zu files\n", Arg(w, 1).c_str(), n);
    } else if (cmd == "echo") {
        std::string line;
        for (size_t i = 1; i < w.size(); ++i) line += (i > 1 ? " " : "") + w[i];
        std::printf("  %s\n", line.c_str());
    } else {
        Fail("unknown command " + cmd);
    }
}

int Scenario::Run(const std::string& path) {
    std::ifstream in(path);
    if (!in) {
        std::printf("cannot read %s\n", path.c_str());
        return 2;
    }
    std::string line;
    int number = 0;
    try {
        while (std::getline(in, line)) {
            ++number;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            std::vector<std::string> w = SplitWords(line);
            if (w.empty()) continue;
            for (auto& word : w) word = Expand(word);
            try {
                Execute(w);
            } catch (const std::logic_error& e) {  // std::stoi on a bad number
                Fail(std::string("bad argument: ") + e.what());
            }
        }
        if (setup_ && !SetupEnded(0)) Fail("the scenario ended with the setup running");
    } catch (const Failure& f) {
        std::printf("FAILED at %s:%d: %s\n    %s\n", path.c_str(), number, line.c_str(), f.what());
        std::printf("visible windows of the setup:\n%s", DumpWindows(setupPid_).c_str());
        std::fflush(stdout);
        if (!shotsDir_.empty() || getenv("E2E_FAILSHOT")) {
            const char* dir = getenv("E2E_FAILSHOT");
            if (dir) {
                shotsDir_ = dir;
                Screenshot("failure", nullptr);
            }
        }
        if (setup_) {
            HANDLE h = OpenProcess(PROCESS_TERMINATE, FALSE, setupPid_);
            if (h) {
                TerminateProcess(h, 1);
                CloseHandle(h);
            }
        }
        return 1;
    }
    std::printf("passed: %s (%d lines)\n", path.c_str(), number);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::printf("usage: e2edriver SCENARIO\n");
        return 2;
    }
    setvbuf(stdout, nullptr, _IONBF, 0);
    CoInitialize(nullptr);
    Scenario s;
    int rc = s.Run(argv[1]);
    CoUninitialize();
    return rc;
}
