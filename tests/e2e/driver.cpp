// e2edriver: drives the real setup.exe from outside, the way a user does, by
// the commands of a scenario (see Execute). Exit code 0 when every command
// passed; on the first failure 1, the setup ended.
#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <stdexcept>

#include "win/support/UiDriver.h"

namespace {

using Words = std::vector<std::string>;
template <class T>
T Check(T ok, const std::string& why) {  // ok, or a failure
    if (!ok) throw std::runtime_error(why);
    return ok;
}

bool Until(const std::function<bool()>& cond, DWORD ms) {
    return ui::WaitFor([&] { return cond() ? HWND(1) : nullptr; }, ms) != nullptr;
}

// A visible control below root: hidden wizard pages keep theirs.
HWND FindVisibleControl(HWND root, int id) {
    for (HWND c = root ? GetWindow(root, GW_CHILD) : nullptr; c; c = GetWindow(c, GW_HWNDNEXT))
        if (!IsWindowVisible(c)) continue;
        else if (GetDlgCtrlID(c) == id) return c;
        else if (HWND d = FindVisibleControl(c, id)) return d;
    return nullptr;
}

// HKLM\... or HKCU\...: the root key and the path below it.
std::pair<HKEY, std::string> RegPath(const std::string& path) {
    return {path.rfind("HKCU\\", 0) == 0 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, path.substr(5)};
}

// The commands of a line, separated by ';'. Blanks separate words; "..."
// groups (\" in it is a quote); %DESKTOP% and %PROGRAMS% are the prefix's folders.
std::vector<Words> SplitLine(const std::string& line) {
    std::vector<Words> commands(1);
    for (size_t i = 0; i < line.size();) {
        if (line[i] == ';') commands.emplace_back();
        if (std::strchr(" \t;", line[i])) {
            ++i;
            continue;
        }
        if (line[i] == '#' && commands.size() == 1 && commands[0].empty()) break;
        std::string w;
        bool quoted = line[i] == '"';
        for (i += quoted; i < line.size() && (quoted ? line[i] != '"' : !std::strchr(" \t;", line[i])); ++i)
            w += quoted && line[i] == '\\' && i + 1 < line.size() && line[i + 1] == '"' ? line[++i] : line[i];
        i += quoted;
        for (auto [name, csidl] : {std::pair{"%DESKTOP%", CSIDL_DESKTOPDIRECTORY}, {"%PROGRAMS%", CSIDL_PROGRAMS}}) {
            char path[MAX_PATH] = {0};
            if (w.find(name) != std::string::npos && SUCCEEDED(SHGetFolderPathA(nullptr, csidl, nullptr, 0, path)))
                w.replace(w.find(name), std::strlen(name), path);
        }
        commands.back().push_back(w);
    }
    return commands;
}

struct Scenario {
    void Execute(const Words& w);
    // Opened anew by id each time: a handle kept from CreateProcess was seen
    // signalled while the setup still ran, once Unix programs had been started.
    bool Ended(DWORD ms, DWORD pid = 0) {
        HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, pid ? pid : pid_);
        const bool ended = !h || WaitForSingleObject(h, ms) == WAIT_OBJECT_0;
        if (h) CloseHandle(h);
        return ended;
    }
    // What process pid shows: the captions of its windows, and a message box's text.
    static std::string Shows(DWORD pid) {
        std::string shown;
        ui::FindTop(pid, [&](HWND h) {
            const std::string text = ui::MessageBoxText(h);
            shown += " [" + ui::WindowText(h) + (text.empty() ? "" : ": " + text) + "]";
            return false;
        });
        return shown.empty() ? " nothing" : shown;
    }
    HWND Wait(const std::string& what, DWORD ms, const std::function<bool(HWND)>& test, DWORD pid) {
        // Shows only on a failure: it asks the setup's windows for their
        // texts, which waits while the setup's thread is busy.
        HWND found = ui::WaitFor([&] { return ui::FindTop(pid, test); }, ms);
        if (!found) Check(found, "timed out waiting for " + what + (pid ? "; the setup shows" + Shows(pid) : ""));
        return found;
    }
    HWND Box(const std::string& part, DWORD ms) {
        auto box = [&](HWND h) { return h == ui::FindMessageBox(part.c_str(), pid_); };
        return Wait("message box \"" + part + "\"", ms, box, pid_);
    }
    HWND Control(int id) { return Check(FindVisibleControl(current_, id), "no visible control " + std::to_string(id)); }
    GUITHREADINFO Focus() {  // of the setup's user-interface thread
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        HWND w = ui::FindTop(pid_, [](HWND) { return true; });
        Check(w && GetGUIThreadInfo(GetWindowThreadProcessId(w, nullptr), &info), "the setup shows no window");
        return info;
    }

    void Release() {  // lets the holder close its file, and waits until it has
        if (!release_) return;
        SetEvent(release_);
        Ended(10000, holder_);
        CloseHandle(release_);
        release_ = nullptr;
    }

    DWORD pid_ = 0;           // the setup's process, once started
    DWORD holder_ = 0;        // tests/helpers/holder.exe, while it holds a file open
    HANDLE release_ = nullptr;  // the event that lets it close the file
    HWND current_ = nullptr;  // the window that click/type/expect/shot act on
    std::string shots_ = ui::ScreenshotDir();
};

void Scenario::Execute(const Words& w) {
    const std::string& cmd = w[0];
    auto arg = [&](size_t i) -> const std::string& {
        Check(i < w.size(), "missing argument " + std::to_string(i));
        return w[i];
    };
    auto num = [&](size_t i) { return std::stoi(arg(i)); };
    auto ms = [&](size_t i, DWORD fallback) { return i < w.size() ? static_cast<DWORD>(std::stoul(w[i])) : fallback; };
    // For a person watching (the demo): a pause before every action.
    static const DWORD pace = getenv("E2E_PACE") ? static_cast<DWORD>(atoi(getenv("E2E_PACE"))) : 0;
    if (pace && std::string(" click press type select answer disk ").find(" " + cmd + " ") != std::string::npos)
        Sleep(pace);

    if (cmd == "shots") {  // shots UNIXDIR: where `shot` saves its pictures
        shots_ = arg(1);
    } else if (cmd == "start") {  // start [PATH]: the setup, from C:\ like a double-click in a file window
        const std::string exe = w.size() > 1 ? w[1] : "A:\\setup.exe";
        Check(ui::Run(exe, "\"" + exe + "\"", 0, "C:\\", &pid_), "cannot start " + exe);
    } else if (cmd == "page") {  // page NAME [ms]: a wizard page, known by the controls only it has
        static const std::map<std::string, std::vector<int>> pages = {
            {"welcome", {1018}},        {"destination", {1000, 1001, 1008}}, {"language", {1014, 1006, 1007}},
            {"agreement", {1018, 1020, 1021}}, {"complete", {1015}},        {"restart", {1017, 1018}}};
        auto it = pages.find(arg(1));
        Check(it != pages.end(), "unknown page " + arg(1));
        current_ = Wait("page " + arg(1), ms(2, 15000), [&](HWND h) {
            if (!GetDlgItem(h, 12325)) return false;
            for (int id : it->second)
                if (!FindVisibleControl(h, id)) return false;
            return arg(1) != "welcome" || ui::WindowText(FindVisibleControl(h, 1018)) == "Welcome to the Setup Wizard";
        }, pid_);
    } else if (cmd == "progress" || cmd == "picker") {  // the progress dialog or the folder picker [ms]
        const int a = cmd == "progress" ? 1009 : 14148, b = cmd == "progress" ? 1012 : 14145;
        current_ = Wait(cmd, ms(1, 15000), [&](HWND h) { return GetDlgItem(h, a) && GetDlgItem(h, b); }, pid_);
    } else if (cmd == "diskprompt") {  // diskprompt DISK DRIVE [ms]: texts matched, the last prompt may be closing
        current_ = Wait("disk prompt " + arg(1) + " in " + arg(2), ms(3, 15000), [&](HWND h) {
            return ui::WindowText(h) == "Replace Disk" && ui::WindowText(GetDlgItem(h, 1008)) == arg(1) &&
                   ui::WindowText(GetDlgItem(h, 1011)) == arg(2);
        }, pid_);
    } else if (cmd == "window" || cmd == "no-window") {  // [no-]window TITLE [ms]: a window of any process
        auto titled = [&](HWND h) { return ui::WindowText(h) == arg(1); };
        if (cmd == "window") current_ = Wait("a window \"" + arg(1) + "\"", ms(2, 15000), titled, 0);
        else Check(!ui::WaitFor([&] { return ui::FindTop(0, titled); }, ms(2, 1500)), "a window " + arg(1) + " appeared");
    } else if (cmd == "box") {  // box TEXTPART [ms]: a message box; it becomes current
        current_ = Box(arg(1), ms(2, 15000));
    } else if (cmd == "answer") {  // answer TEXTPART yes|no|ok [ms]: press a button of a message box
        HWND box = Box(arg(1), ms(3, 15000));
        HWND button = GetDlgItem(box, arg(2) == "yes" ? IDYES : arg(2) == "no" ? IDNO : IDOK);
        Check(button != nullptr, "the box \"" + ui::MessageBoxText(box) + "\" has no " + arg(2) + " button");
        PostMessageA(button, BM_CLICK, 0, 0);
        Check(ui::WaitGone(box, 10000), "the box does not close");
    } else if (cmd == "fault") {  // fault PART [PART|!PART]...: a failure message with the PARTs, without the !PARTs;
        // OK pressed, the exit question must follow by itself (it becomes current)
        HWND box = Box(arg(1), 60000);
        const std::string text = ui::MessageBoxText(box);
        std::printf("message: %s\n", text.c_str());
        for (size_t i = 2; i < w.size(); ++i) {
            const bool absent = w[i][0] == '!';
            Check((text.find(w[i].substr(absent)) == std::string::npos) == absent,
                  std::string("the message ") + (absent ? "names " : "does not name ") + w[i].substr(absent));
        }
        Check(GetDlgItem(box, IDOK) && !GetDlgItem(box, IDYES), "the message is not an OK box");
        PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
        Check(ui::WaitGone(box, 10000), "the box does not close");
        current_ = Box("Exit installation?", 10000);
    } else if (cmd == "second") {  // second [ms]: another A:\setup.exe while this one runs, minimised: it must
        // end with no window of its own, and this one's window come back in front
        HWND first = ui::FindTop(pid_, [](HWND h) { return !GetWindow(h, GW_OWNER); });
        Check(first != nullptr, "the setup shows no window");
        ShowWindowAsync(first, SW_MINIMIZE);
        Check(Until([&] { return IsIconic(first) != 0; }, 5000), "the setup's window does not minimise");
        DWORD second = 0;
        Check(ui::Run("A:\\setup.exe", "\"A:\\setup.exe\"", 0, "C:\\", &second), "cannot start a second setup");
        std::string seen;
        const bool ended = Until([&] {
            if (HWND h = ui::FindTop(second, [](HWND) { return true; })) seen = ui::WindowText(h);
            return Ended(0, second);
        }, ms(1, 20000));
        if (!ended) {
            seen = Shows(second);
            if (HANDLE h = OpenProcess(PROCESS_TERMINATE, FALSE, second)) TerminateProcess(h, 1), CloseHandle(h);
        }
        Check(ended, "the second setup does not end; it shows" + seen);
        Check(seen.empty(), "the second setup showed a window \"" + seen + "\"");
        Check(Until([&] { return !IsIconic(first) && GetForegroundWindow() == GetLastActivePopup(first); }, 5000),
              "the first setup's window is not restored in front");
    } else if (cmd == "hold") {  // hold HOLDER PATH: holder.exe opens the file without sharing, as a running program
        Check(!release_, "a file is held already");
        const std::string event = "e2e release " + std::to_string(GetCurrentProcessId());
        release_ = CreateEventA(nullptr, TRUE, FALSE, event.c_str());
        Check(ui::Run(arg(1), "\"" + arg(1) + "\" \"" + arg(2) + "\" \"" + event + "\"", 0, nullptr, &holder_),
              "cannot start " + arg(1));
        Check(Until([&] {
            HANDLE h = CreateFileA(arg(2).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
            if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
            return h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION;
        }, 15000), arg(2) + " is not held");
    } else if (cmd == "release") {  // release: the holder closes its file and ends
        Check(release_ != nullptr, "no file is held");
        Release();
    } else if (cmd == "delete") {  // delete PATH: a file (the cause of a failure) removed
        Check(DeleteFileA(arg(1).c_str()) != 0, "cannot delete " + arg(1));
    } else if (cmd == "click") {  // click ID: only enabled (a posted click may enable it: 3 s), as a mouse does
        Check(Until([&] { return IsWindowEnabled(Control(num(1))); }, 3000), "control " + arg(1) + " is disabled");
        PostMessageA(Control(num(1)), BM_CLICK, 0, 0);
    } else if (cmd == "press") {  // press KEY...: tab enter esc space up down, or one letter or digit
        static const std::map<std::string, BYTE> keys = {{"tab", VK_TAB},     {"enter", VK_RETURN}, {"esc", VK_ESCAPE},
                                                         {"space", VK_SPACE}, {"up", VK_UP},        {"down", VK_DOWN}};
        for (size_t i = 1; i < w.size(); ++i) {  // through the input queue into the setup's active window
            auto it = keys.find(w[i]);
            const BYTE vk = it != keys.end() ? it->second : w[i].size() == 1 && isalnum(w[i][0]) ? toupper(w[i][0]) : 0;
            HWND active = Focus().hwndActive;
            auto front = [&] {
                SetForegroundWindow(active);
                return GetForegroundWindow() == active ? active : nullptr;
            };
            Check(vk && ui::WaitFor(front, 3000), "the key " + w[i] + " was not taken");
            keybd_event(vk, BYTE(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC)), 0, 0);
            keybd_event(vk, BYTE(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC)), KEYEVENTF_KEYUP, 0);
            Sleep(100);  // the setup reacts before the next step looks
        }
    } else if (cmd == "focus") {  // focus ID [ms]: the setup's keyboard focus is on control ID
        Check(Until([&] { return Focus().hwndFocus && GetDlgCtrlID(Focus().hwndFocus) == num(1); }, ms(2, 3000)),
              "the focus is on control " + std::to_string(GetDlgCtrlID(Focus().hwndFocus)));
    } else if (cmd == "type") {  // type ID TEXT: replaces an edit control's text (raises EN_CHANGE)
        SendMessageA(Control(num(1)), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(arg(2).c_str()));
    } else if (cmd == "select") {  // select ID INDEX: a combo box entry
        DWORD_PTR r = 0;
        SendMessageTimeoutA(Control(num(1)), CB_SETCURSEL, num(2), 0, SMTO_ABORTIFHUNG, 5000, &r);
        Check(static_cast<int>(r) == num(2), "combo " + arg(1) + " has no entry " + arg(2));
    } else if (cmd == "expect") {  // expect ID|caption checked|unchecked|enabled|disabled|text=...|has=... [ms]
        const std::string& what = arg(2);
        auto text = [&] { return ui::WindowText(arg(1) == "caption" ? current_ : Control(num(1))); };
        const bool ok = Until([&] {
            if (what.rfind("text=", 0) == 0) return text() == what.substr(5);
            if (what.rfind("has=", 0) == 0) return text().find(what.substr(4)) != std::string::npos;
            HWND c = Control(num(1));
            LRESULT state = SendMessageA(c, BM_GETCHECK, 0, 0);
            return what == "checked" ? state == BST_CHECKED : what == "unchecked" ? state == BST_UNCHECKED
                 : what == "enabled" ? IsWindowEnabled(c) != 0 : what == "disabled" && !IsWindowEnabled(c);
        }, ms(3, 3000));
        if (!ok) Check(ok, arg(1) + " is not " + what + " (text \"" + text() + "\")");
    } else if (cmd == "gone") {  // gone [ms]: the current window has closed
        Check(ui::WaitGone(current_, ms(1, 10000)), "the window does not close");
    } else if (cmd == "shot") {  // shot NAME: picture of the current window, when pictures are asked for
        if (!shots_.empty()) ui::ScreenshotWindow(current_, shots_ + "/" + arg(1) + ".png");
    } else if (cmd == "disk") {  // disk UNIXDIR [FILE]: re-point drive A: (FILE: until A: shows it)
        const std::string link = std::string(getenv("WINEPREFIX")) + "/dosdevices/a:";
        Check(ui::Run("Z:\\bin\\ln", "ln -sfn " + arg(1) + " " + link, 30000), "cannot start ln");
        Check(Until([&] { return w.size() < 3 || GetFileAttributesA(("A:\\" + w[2]).c_str()) != INVALID_FILE_ATTRIBUTES; },
                    10000), "A: does not show the disk");
        if (w.size() < 3) Sleep(300);
    } else if (cmd == "ended") {  // ended [ms]: the setup has ended
        Check(pid_ && Ended(ms(1, 30000)), "the setup does not end");
        current_ = nullptr;
    } else if (cmd == "running" || cmd == "sleep") {  // running|sleep MS: (the setup still runs) after MS
        Sleep(ms(1, 500));
        Check(cmd == "sleep" || !Ended(0), "the setup has ended");
    } else if (cmd == "exists" || cmd == "missing") {  // exists|missing PATH
        const bool there = GetFileAttributesA(arg(1).c_str()) != INVALID_FILE_ATTRIBUTES;
        Check(there == (cmd == "exists"), arg(1) + (there ? " exists" : " does not exist"));
    } else if (cmd == "reg-set") {  // reg-set KEY NAME sz VALUE: a string value (the key made if need be)
        auto [root, sub] = RegPath(arg(1));
        const bool set = !SHSetValueA(root, sub.c_str(), arg(2).c_str(), REG_SZ, arg(4).c_str(), arg(4).size() + 1);
        Check(arg(3) == "sz" && set, "cannot set " + arg(1) + "\\" + arg(2));
    } else if (cmd == "reg") {  // reg KEY NAME sz|dword VALUE: the value, of this type and data
        auto [root, sub] = RegPath(arg(1));
        char data[1024] = {0};
        DWORD type = 0, size = sizeof data - 1, d = 0;
        LONG r = SHGetValueA(root, sub.c_str(), arg(2).c_str(), &type, data, &size);
        std::memcpy(&d, data, 4);
        const bool dword = arg(3) == "dword";
        std::string got = dword ? std::to_string(d) : std::string(data, size);
        Check(!r && type == (dword ? REG_DWORD : REG_SZ) && got == (dword ? arg(4) : arg(4) + '\0'),
              arg(2) + " is \"" + got + "\" of type " + std::to_string(type) + ", expected " + arg(3) + " " + arg(4));
    } else if (cmd == "key" || cmd == "no-key") {  // [no-]key KEY
        auto [root, sub] = RegPath(arg(1));
        HKEY k = nullptr;
        const bool there = !RegOpenKeyExA(root, sub.c_str(), 0, KEY_READ, &k) && !RegCloseKey(k);
        Check(there == (cmd == "key"), arg(1) + (there ? " exists" : " does not exist"));
    } else if (cmd == "link") {  // link LNKPATH TARGET WORKDIR ICON: a shell link pointing there
        const std::vector<std::string> got = ui::ReadLink(arg(1));
        Check(!got.empty(), "cannot load " + arg(1));
        for (size_t i = 0; i < 3; ++i)
            Check(!lstrcmpiA(got[i].c_str(), arg(i + 2).c_str()), arg(1) + " holds " + got[i] + ", expected " + arg(i + 2));
    } else if (cmd == "echo") {  // echo WORD...: a line for the person watching
        for (size_t i = 1; i < w.size(); ++i) std::printf(i + 1 < w.size() ? " %s" : " %s\n", w[i].c_str());
    } else {
        Check(false, "unknown command " + cmd);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::printf("usage: e2edriver SCENARIO\n");
        return 2;
    }
    setvbuf(stdout, nullptr, _IONBF, 0);
    // The first window of a Wine prefix starts its desktop process, which
    // takes about 0.2 s under emulation; a PC has its desktop before a user
    // starts the setup, so the driver has it started here, before any step.
    GetDesktopWindow();
    CoInitialize(nullptr);
    Scenario scenario;
    std::ifstream in(argv[1]);
    std::string line;
    int number = 0;
    try {
        Check(bool(in), "cannot read the scenario");
        for (; std::getline(in, line); ++number)
            for (Words& w : SplitLine(line))
                if (!w.empty()) scenario.Execute(w);
        Check(!scenario.pid_ || scenario.Ended(0), "the scenario ended with the setup running");
    } catch (const std::exception& e) {  // a failed check, or std::stoi on a bad number
        std::printf("FAILED at %s:%d: %s\n    %s\n", argv[1], number + 1, line.c_str(), e.what());
        if (HANDLE h = scenario.pid_ ? OpenProcess(PROCESS_TERMINATE, FALSE, scenario.pid_) : nullptr)
            TerminateProcess(h, 1);
        scenario.Release();
        return 1;
    }
    std::printf("passed: %s (%d lines)\n", argv[1], number);
    CoUninitialize();
    return 0;
}
