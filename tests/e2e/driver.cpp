// e2edriver: drives the real setup.exe from outside, the way a user does.
// It runs beside the setup in the same Wine prefix and reads a scenario, one
// command a line (the table is in Execute): it starts the setup from the
// medium's drive, finds its windows by control ids and message-box texts,
// clicks, types, presses real keys, swaps disks by re-pointing the drive
// letter, and checks what the setup left: files byte for byte with times and
// attributes, registry values, shell links. Exit code 0 when every command
// passed; on the first failure 1, with the setup's visible windows listed
// and the setup ended.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "win/support/UiDriver.h"

namespace {

using Words = std::vector<std::string>;
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};
[[noreturn]] void Fail(const std::string& why) { throw Failure(why); }

// Polls cond every 20 ms; false when it still fails after ms.
bool Until(const std::function<bool()>& cond, DWORD ms) {
    for (DWORD start = GetTickCount();; Sleep(20)) {
        if (cond()) return true;
        if (GetTickCount() - start > ms) return false;
    }
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
}

// Text of a window of the setup, asked with a time-out: a hung setup must
// not hang the driver too.
std::string Text(HWND w) {
    char buf[4096] = {0};
    DWORD_PTR n = 0;
    if (!w || !SendMessageTimeoutA(w, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 3000, &n))
        return {};
    return buf;
}

bool IsDialog(HWND w) {
    char cls[16] = {0};
    GetClassNameA(w, cls, sizeof cls);
    return std::strcmp(cls, "#32770") == 0;
}

BOOL CALLBACK CollectTop(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<std::pair<DWORD, std::vector<HWND>>*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if ((s->first == 0 || pid == s->first) && IsWindowVisible(w)) s->second.push_back(w);
    return TRUE;
}

std::vector<HWND> TopWindows(DWORD pid) {  // visible, of process pid (0: any)
    std::pair<DWORD, std::vector<HWND>> s{pid, {}};
    EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&s));
    return s.second;
}

// A visible control below root: hidden pages keep their controls.
HWND FindVisible(HWND root, int id) {
    for (HWND c = GetWindow(root, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (!IsWindowVisible(c)) continue;
        if (GetDlgCtrlID(c) == id) return c;
        if (HWND d = FindVisible(c, id)) return d;
    }
    return nullptr;
}

void Dump(HWND w, const std::string& indent) {
    for (HWND c = GetWindow(w, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (!IsWindowVisible(c)) continue;
        std::printf("%s id %d \"%.60s\"%s\n", indent.c_str(), GetDlgCtrlID(c), Text(c).c_str(),
                    IsWindowEnabled(c) ? "" : " (disabled)");
        if (IsDialog(c)) Dump(c, indent + "  ");
    }
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) Fail(path + " cannot be read");
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Starts a Unix program (Wine runs an ELF file given by its Z: path as a
// native process) and waits for it.
void RunUnix(const std::string& program, const std::string& args) {
    std::string line = program + " " + args, exe = "Z:" + program;
    for (char& c : exe) c = c == '/' ? '\\' : c;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        Fail("cannot start " + program);
    WaitForSingleObject(pi.hProcess, 30000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

void ListTree(const std::string& root, const std::string& rel, std::set<std::string>& out) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((root + "\\" + rel + "*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = rel + fd.cFileName;
        if (!std::strcmp(fd.cFileName, ".") || !std::strcmp(fd.cFileName, "..")) continue;
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) out.insert(name);
        else out.insert(name + "\\"), ListTree(root, name + "\\", out);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
}

// "" when the file equals its reference in bytes, last-write time and the
// attributes an archive or a user can give it; else what differs.
std::string CompareFile(const std::string& got, const std::string& want) {
    WIN32_FILE_ATTRIBUTE_DATA a, b;
    if (!GetFileAttributesExA(got.c_str(), GetFileExInfoStandard, &a)) return "missing";
    if (!GetFileAttributesExA(want.c_str(), GetFileExInfoStandard, &b)) return "reference missing";
    std::string da = ReadAll(got), db = ReadAll(want);
    if (da != db) return "bytes differ (" + std::to_string(da.size()) + " of " + std::to_string(db.size()) + ")";
    if (CompareFileTime(&a.ftLastWriteTime, &b.ftLastWriteTime)) return "last-write time differs";
    const DWORD mask = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if ((a.dwFileAttributes ^ b.dwFileAttributes) & mask)
        return "attributes " + std::to_string(a.dwFileAttributes & mask) + ", expected " +
               std::to_string(b.dwFileAttributes & mask);
    return {};
}

// HKLM\... or HKCU\...: opened (or made) with the given access, null if absent.
HKEY OpenKey(const std::string& path, REGSAM access, bool create = false) {
    HKEY root = path.rfind("HKCU\\", 0) == 0 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    HKEY k = nullptr;
    const std::string sub = path.substr(5);
    LONG r = create ? RegCreateKeyExA(root, sub.c_str(), 0, nullptr, 0, access, nullptr, &k, nullptr)
                    : RegOpenKeyExA(root, sub.c_str(), 0, access, &k);
    return r == ERROR_SUCCESS ? k : nullptr;
}

Words SplitWords(const std::string& line) {  // blanks separate; "..." with \" and \n groups
    Words words;
    for (size_t i = 0; i < line.size();) {
        if (line[i] == ' ' || line[i] == '\t') { ++i; continue; }
        if (words.empty() && line[i] == '#') break;
        std::string w;
        bool quoted = line[i] == '"';
        for (i += quoted; i < line.size() && (quoted ? line[i] != '"' : line[i] != ' ' && line[i] != '\t'); ++i) {
            if (quoted && line[i] == '\\' && i + 1 < line.size() && (line[i + 1] == 'n' || line[i + 1] == '"'))
                w += line[++i] == 'n' ? '\n' : '"';
            else w += line[i];
        }
        i += quoted;
        words.push_back(w);
    }
    return words;
}

// %DESKTOP%, %PROGRAMS% and %WINDIR%: folders that differ between prefixes.
std::string Expand(std::string word) {
    for (auto [name, csidl] : {std::pair<const char*, int>{"%DESKTOP%", CSIDL_DESKTOPDIRECTORY},
                               {"%PROGRAMS%", CSIDL_PROGRAMS}, {"%WINDIR%", CSIDL_WINDOWS}}) {
        char path[MAX_PATH] = {0};
        size_t at = word.find(name);
        if (at != std::string::npos && SUCCEEDED(SHGetFolderPathA(nullptr, csidl, nullptr, 0, path)))
            word.replace(at, std::strlen(name), path);
    }
    return word;
}

class Scenario {
public:
    int Run(const std::string& file);

private:
    void Execute(const Words& w);
    bool Ended(DWORD ms);
    HWND Wait(const std::string& what, DWORD ms, const std::function<bool(HWND)>& test, bool anyProcess = false);
    HWND Box(const std::string& part, DWORD ms);
    HWND Control(int id);
    void Click(int id);
    GUITHREADINFO Focus();
    void PressKey(const std::string& name);

    DWORD pid_ = 0;           // the setup's process, once started
    HWND current_ = nullptr;  // the window that click/type/expect/shot act on
    std::string shots_;       // Unix folder for the pictures, empty for none
};

// Opened anew by id each time: a handle kept from CreateProcess was seen
// signalled while the setup still ran, once Unix programs had been started.
bool Scenario::Ended(DWORD ms) {
    HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, pid_);
    if (!h) return true;
    bool ended = WaitForSingleObject(h, ms) == WAIT_OBJECT_0;
    CloseHandle(h);
    return ended;
}

HWND Scenario::Wait(const std::string& what, DWORD ms, const std::function<bool(HWND)>& test, bool anyProcess) {
    HWND found = nullptr;
    bool ended = false;
    Until([&] {
        for (HWND w : TopWindows(anyProcess ? 0 : pid_))
            if (test(w)) return (found = w) != nullptr;
        return ended = !anyProcess && Ended(0) && TopWindows(pid_).empty();
    }, ms);
    if (!found) Fail((ended ? "the setup ended while waiting for " : "timed out waiting for ") + what);
    return found;
}

HWND Scenario::Box(const std::string& part, DWORD ms) {
    return Wait("message box \"" + part + "\"", ms, [&](HWND w) {
        return IsDialog(w) && GetDlgItem(w, 0xFFFF) && Text(GetDlgItem(w, 0xFFFF)).find(part) != std::string::npos;
    });
}

HWND Scenario::Control(int id) {
    HWND c = current_ && IsWindow(current_) ? FindVisible(current_, id) : nullptr;
    if (!c) Fail("no visible control " + std::to_string(id));
    return c;
}

// As the mouse gives it: only on an enabled button (a posted click may be
// about to enable it: 3 s), posted so that a modal loop never blocks us.
void Scenario::Click(int id) {
    if (!Until([&] { return IsWindowEnabled(Control(id)); }, 3000)) Fail("control " + std::to_string(id) + " is disabled");
    PostMessageA(Control(id), BM_CLICK, 0, 0);
}

GUITHREADINFO Scenario::Focus() {  // of the setup's user-interface thread
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    std::vector<HWND> windows = TopWindows(pid_);
    if (windows.empty() || !GetGUIThreadInfo(GetWindowThreadProcessId(windows.front(), nullptr), &info))
        Fail("the setup shows no window");
    return info;
}

// NAME or shift+NAME through the system's input queue, into the setup's
// active window brought to the foreground: the dialog manager sees a real key.
void Scenario::PressKey(const std::string& spec) {
    static const std::map<std::string, WORD> keys = {{"tab", VK_TAB}, {"enter", VK_RETURN}, {"esc", VK_ESCAPE},
                                                     {"space", VK_SPACE}, {"up", VK_UP}, {"down", VK_DOWN},
                                                     {"left", VK_LEFT}, {"right", VK_RIGHT}};
    std::string name = Lower(spec);
    const bool shift = name.rfind("shift+", 0) == 0;
    if (shift) name = name.substr(6);
    auto it = keys.find(name);
    WORD vk = it != keys.end() ? it->second : name.size() == 1 && isalnum(name[0]) ? WORD(toupper(name[0])) : 0;
    if (!vk) Fail("unknown key " + spec);
    HWND active = Focus().hwndActive;
    if (!Until([&] { return SetForegroundWindow(active), GetForegroundWindow() == active; }, 3000))
        Fail("the setup's window does not come to the foreground");
    std::vector<INPUT> input;
    auto add = [&](WORD key, DWORD flags) {
        INPUT in = {};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = key;
        in.ki.wScan = static_cast<WORD>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC));
        in.ki.dwFlags = flags;
        input.push_back(in);
    };
    if (shift) add(VK_SHIFT, 0);
    add(vk, 0);
    add(vk, KEYEVENTF_KEYUP);
    if (shift) add(VK_SHIFT, KEYEVENTF_KEYUP);
    if (SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT)) != input.size())
        Fail("the key press was not taken");
    Sleep(100);  // the setup reacts before the next step looks
}

void Scenario::Execute(const Words& w) {
    const std::string& cmd = w[0];
    auto arg = [&](size_t i) -> const std::string& {
        if (i >= w.size()) Fail("missing argument " + std::to_string(i));
        return w[i];
    };
    auto num = [&](size_t i) { return std::stoi(arg(i)); };
    auto ms = [&](size_t i, DWORD fallback) { return i < w.size() ? static_cast<DWORD>(std::stoul(w[i])) : fallback; };
    auto check = [&](bool ok, const std::string& why) {
        if (!ok) Fail(why);
    };
    // For a person watching (the demo): a pause before every action.
    static const DWORD pace = getenv("E2E_PACE") ? static_cast<DWORD>(atoi(getenv("E2E_PACE"))) : 0;
    static const std::set<std::string> actions = {"click", "press", "type", "select", "check", "answer", "disk"};
    if (pace && actions.count(cmd)) Sleep(pace);

    if (cmd == "shots") {  // shots UNIXDIR: where `shot` saves its pictures
        shots_ = arg(1);
    } else if (cmd == "start") {  // start [PATH]: the setup, from C:\ like a double-click in a file window
        std::string exe = w.size() > 1 ? w[1] : "A:\\setup.exe", line = "\"" + exe + "\"";
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        check(CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, "C:\\", &si, &pi),
              "cannot start " + exe);
        pid_ = pi.dwProcessId;
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    } else if (cmd == "page") {  // page NAME [ms]: a wizard page, known by the controls only it has
        static const std::map<std::string, std::vector<int>> pages = {
            {"welcome", {1018}},        {"destination", {1000, 1001, 1008}}, {"language", {1014, 1006, 1007}},
            {"agreement", {1018, 1020, 1021}}, {"complete", {1015}},        {"restart", {1017, 1018}}};
        auto it = pages.find(arg(1));
        check(it != pages.end(), "unknown page " + arg(1));
        current_ = Wait("page " + arg(1), ms(2, 15000), [&](HWND h) {
            if (!IsDialog(h) || !GetDlgItem(h, 12325)) return false;
            for (int id : it->second)
                if (!FindVisible(h, id)) return false;
            return arg(1) != "welcome" || Text(FindVisible(h, 1018)) == "Welcome to the Setup Wizard";
        });
    } else if (cmd == "progress" || cmd == "picker") {  // the progress dialog or the folder picker [ms]
        const int a = cmd == "progress" ? 1009 : 14148, b = cmd == "progress" ? 1012 : 14145;
        current_ = Wait(cmd, ms(1, 15000), [&](HWND h) { return IsDialog(h) && GetDlgItem(h, a) && GetDlgItem(h, b); });
    } else if (cmd == "diskprompt") {  // diskprompt DISK DRIVE [ms]: texts matched, the last prompt may be closing
        current_ = Wait("disk prompt " + arg(1) + " in " + arg(2), ms(3, 15000), [&](HWND h) {
            return IsDialog(h) && Text(h) == "Replace Disk" && Text(GetDlgItem(h, 1008)) == arg(1) &&
                   Text(GetDlgItem(h, 1011)) == arg(2);
        });
    } else if (cmd == "waittext") {  // waittext ID TEXTPART [ms]: a control of the current window shows it
        check(Until([&] { return Text(FindVisible(current_, num(1))).find(arg(2)) != std::string::npos; }, ms(3, 15000)),
              "control " + arg(1) + " shows \"" + Text(FindVisible(current_, num(1))) + "\"");
    } else if (cmd == "click") {  // click ID
        Click(num(1));
    } else if (cmd == "press") {  // press KEY...: tab shift+tab enter esc space arrows A-Z 0-9
        for (size_t i = 1; i < w.size(); ++i) PressKey(w[i]);
    } else if (cmd == "focus") {  // focus ID [ms]: the setup's keyboard focus is on control ID
        check(Until([&] { HWND f = Focus().hwndFocus; return f && GetDlgCtrlID(f) == num(1); }, ms(2, 3000)),
              "the focus is on control " + std::to_string(GetDlgCtrlID(Focus().hwndFocus)));
    } else if (cmd == "type") {  // type ID TEXT: replaces an edit control's text (raises EN_CHANGE)
        DWORD_PTR r = 0;
        SendMessageTimeoutA(Control(num(1)), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(arg(2).c_str()), SMTO_ABORTIFHUNG,
                            5000, &r);
        check(Text(Control(num(1))) == arg(2), "typing into " + arg(1) + " did not take");
    } else if (cmd == "select") {  // select ID INDEX: a combo box entry
        DWORD_PTR r = 0;
        SendMessageTimeoutA(Control(num(1)), CB_SETCURSEL, num(2), 0, SMTO_ABORTIFHUNG, 5000, &r);
        check(static_cast<int>(r) == num(2), "combo " + arg(1) + " has no entry " + arg(2));
    } else if (cmd == "check") {  // check ID 0|1: a check box, clicked when needed
        auto state = [&] { return SendMessageA(Control(num(1)), BM_GETCHECK, 0, 0) == (num(2) ? BST_CHECKED : 0); };
        if (!state()) Click(num(1));
        check(Until(state, 5000), "check box " + arg(1) + " does not change");
    } else if (cmd == "expect") {  // expect ID checked|unchecked|enabled|disabled|text=...: within 3 s
        const std::string& what = arg(2);
        check(Until([&] {
            HWND c = Control(num(1));
            LRESULT state = SendMessageA(c, BM_GETCHECK, 0, 0);
            return what == "checked" ? state == BST_CHECKED : what == "unchecked" ? state == BST_UNCHECKED
                 : what == "enabled" ? IsWindowEnabled(c) != 0 : what == "disabled" ? !IsWindowEnabled(c)
                 : Text(c) == what.substr(5);
        }, 3000), "control " + arg(1) + " is not " + what + " (text \"" + Text(Control(num(1))) + "\")");
    } else if (cmd == "gone") {  // gone [ms]: the current window has closed
        check(Until([&] { return !IsWindow(current_) || !IsWindowVisible(current_); }, ms(1, 10000)),
              "the window does not close");
    } else if (cmd == "expect-caption") {  // expect-caption TEXT: of the current window
        check(Text(current_) == arg(1), "caption is \"" + Text(current_) + "\"");
    } else if (cmd == "box") {  // box TEXTPART [ms]: a message box; it becomes current
        current_ = Box(arg(1), ms(2, 15000));
    } else if (cmd == "answer") {  // answer TEXTPART yes|no|ok [ms]: press a button of a message box
        HWND box = Box(arg(1), ms(3, 15000));
        const std::string b = Lower(arg(2));
        HWND button = GetDlgItem(box, b == "yes" ? IDYES : b == "no" ? IDNO : IDOK);
        check(button != nullptr, "the box \"" + Text(GetDlgItem(box, 0xFFFF)) + "\" has no " + b + " button");
        PostMessageA(button, BM_CLICK, 0, 0);
        check(ui::WaitGone(box, 10000), "the box does not close");
    } else if (cmd == "no-box") {  // no-box MS: no message box appears within MS
        std::string text;
        Until([&] {
            for (HWND h : TopWindows(pid_))
                if (IsDialog(h) && GetDlgItem(h, 0xFFFF)) text = Text(GetDlgItem(h, 0xFFFF));
            return !text.empty();
        }, ms(1, 1000));
        check(text.empty(), "unexpected message box \"" + text + "\"");
    } else if (cmd == "shot") {  // shot NAME: picture of the current window
        if (!shots_.empty()) ui::ScreenshotWindow(current_, shots_ + "/" + arg(1) + ".png");
    } else if (cmd == "sleep") {
        Sleep(ms(1, 0));
    } else if (cmd == "disk") {  // disk UNIXDIR [FILE]: re-point drive A: (FILE: until A: shows it)
        RunUnix("/bin/ln", "-sfn " + arg(1) + " " + getenv("WINEPREFIX") + "/dosdevices/a:");
        check(Until([&] { return w.size() < 3 || Exists("A:\\" + w[2]); }, 10000), "A: does not show the disk");
        if (w.size() < 3) Sleep(300);
    } else if (cmd == "ended") {  // ended [ms]: the setup has ended
        check(pid_ && Ended(ms(1, 30000)), "the setup does not end");
        current_ = nullptr;
    } else if (cmd == "running") {  // running MS: the setup is still running after MS
        Sleep(ms(1, 500));
        check(!Ended(0), "the setup has ended");
    } else if (cmd == "exists" || cmd == "missing") {  // exists|missing PATH
        check(Exists(arg(1)) == (cmd == "exists"), arg(1) + (cmd == "exists" ? " does not exist" : " exists"));
    } else if (cmd == "wait-file") {  // wait-file PATH [ms]
        check(Until([&] { return Exists(arg(1)); }, ms(2, 15000)), arg(1) + " did not appear");
    } else if (cmd == "same-file") {  // same-file PATH REFERENCE: bytes, time, attributes
        std::string why = CompareFile(arg(1), arg(2));
        check(why.empty(), arg(1) + ": " + why);
    } else if (cmd == "file-text") {  // file-text PATH TEXT: the whole file holds exactly TEXT
        std::string data = ReadAll(arg(1));
        check(data == arg(2), arg(1) + " holds \"" + data + "\"");
    } else if (cmd == "tree") {  // tree DIR REFERENCE [EXTRA...]: the same files, each equal to its
                                 // reference; the EXTRA names (relative to DIR) may be there besides
        std::set<std::string> got, want;
        ListTree(arg(1), "", got);
        ListTree(arg(2), "", want);
        for (size_t i = 3; i < w.size(); ++i) got.erase(w[i]);
        std::string problems;
        for (const auto& f : got)
            if (!want.count(f)) problems += "  unexpected: " + f + "\n";
        for (const auto& f : want) {
            std::string why = !got.count(f) ? "missing" : f.back() == '\\' ? "" : CompareFile(arg(1) + "\\" + f, arg(2) + "\\" + f);
            if (!why.empty()) problems += "  " + f + ": " + why + "\n";
        }
        check(problems.empty(), arg(1) + " differs from " + arg(2) + ":\n" + problems.substr(0, 2000));
        std::printf("  tree %s: %zu entries equal\n", arg(1).c_str(), want.size());
    } else if (cmd == "reg-set") {  // reg-set KEY NAME sz VALUE: a string value
        HKEY k = OpenKey(arg(1), KEY_WRITE, true);
        check(k && arg(3) == "sz" &&
                  !RegSetValueExA(k, arg(2).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(arg(4).c_str()),
                                  static_cast<DWORD>(arg(4).size() + 1)),
              "cannot set " + arg(1) + "\\" + arg(2));
        RegCloseKey(k);
    } else if (cmd == "reg") {  // reg KEY NAME sz|dword VALUE: the value, of this type and data
        HKEY k = OpenKey(arg(1), KEY_READ);
        check(k != nullptr, "no key " + arg(1));
        char data[1024] = {0};
        DWORD type = 0, size = sizeof data - 1;
        LONG r = RegQueryValueExA(k, arg(2).c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
        RegCloseKey(k);
        DWORD d = 0;
        std::memcpy(&d, data, 4);
        const bool dword = arg(3) == "dword";
        std::string got = dword ? std::to_string(d) : std::string(data, size);
        check(!r && type == (dword ? REG_DWORD : REG_SZ) && got == (dword ? arg(4) : arg(4) + '\0'),
              arg(2) + " is \"" + got + "\" of type " + std::to_string(type) + ", expected " + arg(3) + " " + arg(4));
    } else if (cmd == "key" || cmd == "no-key") {  // [no-]key KEY
        HKEY k = OpenKey(arg(1), KEY_READ);
        if (k) RegCloseKey(k);
        check((k != nullptr) == (cmd == "key"), arg(1) + (k ? " exists" : " does not exist"));
    } else if (cmd == "link") {  // link LNKPATH TARGET WORKDIR [ICON]: a shell link pointing there
        IShellLinkA* link = nullptr;
        IPersistFile* file = nullptr;
        check(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                         reinterpret_cast<void**>(&link))),
              "no shell link object");
        link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
        std::wstring wide(arg(1).begin(), arg(1).end());
        char got[3][MAX_PATH] = {};
        int index = 0;
        const bool loaded = file && SUCCEEDED(file->Load(wide.c_str(), STGM_READ));
        link->GetPath(got[0], MAX_PATH, nullptr, SLGP_RAWPATH);
        link->GetWorkingDirectory(got[1], MAX_PATH);
        link->GetIconLocation(got[2], MAX_PATH, &index);
        if (file) file->Release();
        link->Release();
        check(loaded, "cannot load " + arg(1));
        for (size_t i = 0; i < 3 && i + 2 < w.size(); ++i)
            check(Lower(got[i]) == Lower(w[i + 2]), arg(1) + " holds " + got[i] + ", expected " + w[i + 2]);
    } else if (cmd == "window") {  // window TITLE [ms]: a window of any process with this title
        current_ = Wait("a window \"" + arg(1) + "\"", ms(2, 15000), [&](HWND h) { return Text(h) == arg(1); }, true);
    } else if (cmd == "no-window") {  // no-window TITLE [ms]: none appears within ms
        bool seen = Until([&] {
            for (HWND h : TopWindows(0))
                if (Text(h) == arg(1)) return true;
            return false;
        }, ms(2, 1500));
        check(!seen, "a window \"" + arg(1) + "\" appeared");
    } else if (cmd == "mkfile") {  // mkfile PATH TEXT
        std::ofstream(arg(1), std::ios::binary) << arg(2);
        check(Exists(arg(1)), "cannot create " + arg(1));
    } else if (cmd == "echo") {
        for (size_t i = 1; i < w.size(); ++i) std::printf(i > 1 ? " %s" : "  %s", w[i].c_str());
        std::printf("\n");
    } else {
        Fail("unknown command " + cmd);
    }
}

int Scenario::Run(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    int number = 0;
    try {
        if (!in) Fail("cannot read the scenario");
        while (std::getline(in, line)) {
            ++number;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            Words w = SplitWords(line);
            for (auto& word : w) word = Expand(word);
            try {
                if (!w.empty()) Execute(w);
            } catch (const std::logic_error& e) {  // std::stoi on a bad number
                Fail(std::string("bad argument: ") + e.what());
            }
        }
        if (pid_ && !Ended(0)) Fail("the scenario ended with the setup running");
    } catch (const Failure& f) {
        std::printf("FAILED at %s:%d: %s\n    %s\nvisible windows of the setup:\n", path.c_str(), number, line.c_str(),
                    f.what());
        for (HWND w : TopWindows(pid_)) {
            std::printf("window \"%s\"\n", Text(w).c_str());
            Dump(w, " ");
        }
        if (HANDLE h = pid_ ? OpenProcess(PROCESS_TERMINATE, FALSE, pid_) : nullptr) {
            TerminateProcess(h, 1);
            CloseHandle(h);
        }
        return 1;
    }
    std::printf("passed: %s (%d lines)\n", path.c_str(), number);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return std::printf("usage: e2edriver SCENARIO\n"), 2;
    setvbuf(stdout, nullptr, _IONBF, 0);
    CoInitialize(nullptr);
    int rc = Scenario().Run(argv[1]);
    CoUninitialize();
    return rc;
}
