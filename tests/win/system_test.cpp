// The steps after copying on Wine's real registry, file system and shell:
// shortcuts, the kernel and USB drivers, deleting listed files, the language
// library; and the lock that keeps a second copy of the setup from running.
#include "win/support/WinTest.h"

#include <objbase.h>
#include <shlwapi.h>

#include <atomic>
#include <thread>
#include <tuple>
#include <vector>

#include "app/SetupInstance.h"
#include "fw/Handles.h"
#include "system/CompletionActions.h"
#include "system/SystemSteps.h"

using namespace wt;

namespace {

bool KeyExists(HKEY root, const std::string& path) {
    UniqueRegKey key;
    return RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
}
bool DeleteKeyTree(HKEY root, const std::string& path) {  // true when the key is gone
    const LSTATUS r = SHDeleteKeyA(root, path.c_str());
    return r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND;
}
bool MakeKey(HKEY root, const std::string& path, const char* driver = nullptr) {
    UniqueRegKey key;
    return RegCreateKeyA(root, path.c_str(), key.Put()) == ERROR_SUCCESS &&
           (!driver || !RegSetValueExA(key.Get(), "Driver", 0, REG_SZ, reinterpret_cast<const BYTE*>(driver), lstrlenA(driver) + 1));
}
std::string Class(const std::string& name) { return kDeviceClassKeyPrefix + name; }

std::string WindowsDir() {
    char dir[MAX_PATH];
    return std::string(dir, GetWindowsDirectoryA(dir, MAX_PATH));
}

struct SystemTest : ::testing::Test {
    Scratch s;
    SystemTest() { MakeDir(In("bin")); }
    std::string In(const std::string& rel) const { return std::string(g_setup.installDir) + "\\" + rel; }
};

}  // namespace

// The user's Desktop and Programs folders point at scratch folders (in both keys:
// Wine's shell rewrites "Shell Folders" from "User Shell Folders"), restored afterwards.
class Shortcuts : public SystemTest {
protected:
    std::vector<std::tuple<std::string, const char*, DWORD, std::string>> saved_;  // key, name, type, value

    void SetUp() override {
        for (const char* key : {"Shell Folders", "User Shell Folders"})
            for (const char* name : {"Desktop", "Programs"}) {
                char value[MAX_PATH] = {};
                DWORD type = 0, size = MAX_PATH;
                const std::string path = std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\") + key;
                ASSERT_EQ(SHGetValueA(HKEY_CURRENT_USER, path.c_str(), name, &type, value, &size), ERROR_SUCCESS);
                saved_.emplace_back(path, name, type, value);
            }
    }
    void TearDown() override {
        for (const auto& [key, name, type, value] : saved_)
            SHSetValueA(HKEY_CURRENT_USER, key.c_str(), name, type, value.c_str(), static_cast<DWORD>(value.size() + 1));
    }
    // Points a folder at the path, or removes the value the setup reads.
    void SetShellFolder(const char* name, const std::string& folder) {
        for (const auto& [key, n, type, value] : saved_) {
            if (std::string(n) != name) continue;
            if (folder.empty()) SHDeleteValueA(HKEY_CURRENT_USER, key.c_str(), name);
            else SHSetValueA(HKEY_CURRENT_USER, key.c_str(), name, type, folder.c_str(), static_cast<DWORD>(folder.size() + 1));
        }
    }
};

// A link in each folder (what it holds is checked end to end), with no icon
// unless the named one is found, never through a wildcard. A folder that
// cannot be read, or that does not leave room for the name in the 256-byte
// link path, skips that shortcut only: nothing is cut into some other name.
// OLE that cannot start is reported, and no link is written.
TEST_F(Shortcuts, LinksInBothFoldersUnlessAFolderOrOleFails) {
    const std::string programs = s / "Programs", desktop = s / "Desktop", longName(150, 'n'),
                      longFolder = s / std::string(250 - s.path.string().size(), 'd');
    for (const std::string& dir : {programs, desktop, longFolder}) MakeDir(dir);
    SetShellFolder("Desktop", desktop);
    Write(In("bin\\prog.exe"), "MZ");
    Write(In("bin\\prog.ico"), "icon");
    const struct {
        std::string link, programsFolder = "";  // "": the value is removed
        bool ole = true;
        std::string icon = "Ico=prog";
    } cases[] = {
        {"Missing", programs, true, "Ico=missing"},
        {"Wild", programs, true, "Ico=p*"},
        {"", programs},  // no Descript2: ".lnk"
        {"Skipped"},
        {longName, longFolder},
        {"NoOle", programs, false},
    };
    for (const auto& c : cases) {
        SetShellFolder("Programs", c.programsFolder);
        s.Ini("[Shortcut]\nDescript1=Device programmer\nDescript2=" + c.link + "\n" + c.icon + "\n[Exec]\nExecFile=bin\\prog.exe\n");
        std::thread worker([&] {  // OLE cannot start in a thread of the multithreaded apartment
            if (!c.ole) CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            CreateShortcuts();
        });
        if (!c.ole) ui::AnswerAll({{"OleInitialize error", IDOK}}, 10000);
        worker.join();
        for (const std::string& dir : {programs, desktop}) {
            const std::string file = dir + "\\" + c.link + ".lnk";
            const bool wanted = c.ole && (dir == desktop || c.programsFolder == programs);
            const std::vector<std::string> link = ui::ReadLink(file);
            EXPECT_EQ(!Exists(file) ? "none" : link.empty() ? "unreadable" : link[2],
                      !wanted ? "none" : c.icon == "Ico=prog" ? In("bin\\prog.ico") : "") << file;
        }
        EXPECT_TRUE(std::filesystem::is_empty(longFolder));
        EXPECT_FALSE(Exists("C:\\" + c.link + ".lnk") || Exists(s / (c.link + ".lnk")));
    }
}

// The driver goes into the system's own drivers folder. When the service key
// cannot be made ("KR3NT" a link to a key below a missing one: Wine keeps no
// access control on keys), the message comes and the copy stays. Over an
// existing key its other values and subkeys stay, and without a driver file
// the key is written all the same (its values are checked end to end).
TEST_F(SystemTest, KernelService) {
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);  // the system's own System32 is Sysnative to a 32-bit process
    const std::string driver = WindowsDir() + (wow64 ? "\\Sysnative" : "\\System32") + "\\drivers\\Kr3nt.sys";
    ASSERT_TRUE(DeleteKeyTree(HKEY_LOCAL_MACHINE, kKernelServiceKey));
    Write(In("bin\\Kr3nt.sys"), "new driver");
    Write(driver, "old driver");
    UniqueRegKey link;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKernelServiceKey, 0, nullptr,
                              REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, link.Put(), nullptr),
              ERROR_SUCCESS);
    const wchar_t target[] = L"\\Registry\\Machine\\Software\\SetupTestMissing\\KR3NT";
    RegSetValueExW(link.Get(), L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(target),
                   sizeof target - sizeof(wchar_t));
    Drive([] {
        RegisterKernelService();
        return 0;
    }, [] { ui::AnswerAll({{"Register error!", IDOK}}); });
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kKernelServiceKey));  // the target was never made
    EXPECT_EQ(Read(driver), "new driver");
    RegDeleteKeyA(link.Get(), "");  // the link itself, not its target
    link.Reset();
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\SetupTestMissing"));

    ASSERT_TRUE(MakeKey(HKEY_LOCAL_MACHINE, kKernelServiceKey + std::string("\\Parameters")));
    const DWORD disabled = 4;
    SHSetValueA(HKEY_LOCAL_MACHINE, kKernelServiceKey, "Group", REG_SZ, "Extended Base", 14);
    SHSetValueA(HKEY_LOCAL_MACHINE, kKernelServiceKey, "Start", REG_DWORD, &disabled, 4);
    DeleteFileA(In("bin\\Kr3nt.sys").c_str());
    RegisterKernelService();
    EXPECT_EQ(Read(driver), "new driver");
    DWORD start = 0, size = sizeof start;
    EXPECT_EQ(SHGetValueA(HKEY_LOCAL_MACHINE, kKernelServiceKey, "Start", nullptr, &start, &size), ERROR_SUCCESS);
    EXPECT_EQ(start, 2u);
    EXPECT_EQ(SHGetValueA(HKEY_LOCAL_MACHINE, kKernelServiceKey, "Group", nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kKernelServiceKey + std::string("\\Parameters")));
    EXPECT_TRUE(DeleteKeyTree(HKEY_LOCAL_MACHINE, kKernelServiceKey));
    DeleteFileA(driver.c_str());
}

// The device-key removal below a scratch key of the current user: each
// instance's class key goes (until an instance without "Driver"), then every
// instance (more than one batch of them too), then the device; an empty
// "Driver" never names the class folder itself; nothing else is touched.
TEST(DeviceKeys, ClassKeysThenInstancesThenTheDevice) {
    const char* kRoot = "Software\\SetupTests\\UsbRoot";
    const std::string dev = "Enum\\USB\\VID_1234&PID_ABCD", other = Class("Other\\0000");
    const std::string sibling = "Enum\\USB\\VID_1234&PID_ABCE\\5&9";  // a device whose name begins alike
    std::vector<std::pair<std::string, const char*>> many{{sibling, nullptr}};
    for (int i = 0; i < 203; ++i) many.push_back({dev + "\\" + std::to_string(10000 + i).substr(1), nullptr});
    const struct {
        std::vector<std::pair<std::string, const char*>> make;  // key, its "Driver" value
        std::vector<std::string> gone, kept;
    } cases[] = {
        {{{dev + "\\0000", "USB\\0000"}, {dev + "\\0001", nullptr}, {dev + "\\0002", "USB\\0002"},
          {Class("USB\\0000"), nullptr}, {Class("USB\\0002"), nullptr}},
         {Class("USB\\0000"), dev},
         {Class("USB\\0002")}},
        {{{dev + "\\0000", ""}}, {dev}, {kDeviceClassKeyPrefix, other}},
        {many, {dev}, {sibling, other}},
        {{{Class("USB\\0000"), nullptr}}, {}, {Class("USB\\0000"), other}},  // no device key
    };
    for (const auto& c : cases) {
        UniqueRegKey root;
        ASSERT_TRUE(DeleteKeyTree(HKEY_CURRENT_USER, kRoot) && !RegCreateKeyA(HKEY_CURRENT_USER, kRoot, root.Put()));
        ASSERT_TRUE(MakeKey(root.Get(), other));
        for (const auto& [key, driver] : c.make) ASSERT_TRUE(MakeKey(root.Get(), key, driver));
        DeleteDeviceKeysUnder(root.Get(), dev.c_str());
        for (const std::string& k : c.gone) EXPECT_FALSE(KeyExists(root.Get(), k)) << k << ", case " << (&c - cases);
        for (const std::string& k : c.kept) EXPECT_TRUE(KeyExists(root.Get(), k)) << k << ", case " << (&c - cases);
    }
    EXPECT_TRUE(DeleteKeyTree(HKEY_CURRENT_USER, kRoot));
}

// The whole USB step on HKEY_LOCAL_MACHINE and the Windows folder of the
// test prefix; everything made here is removed again.
class UsbDriver : public SystemTest {
protected:
    static constexpr const char* kDevice = "Enum\\USB\\VID_FFF1&PID_0002";
    const std::string windows_ = WindowsDir(), dest_ = windows_ + "\\setuptest usb", outside_ = windows_ + "\\..\\setuptest out";

    void SetUp() override {
        for (const char* n : {"1", "2"}) Write(In("bin\\usbtest" + std::string(n) + ".sys"), "driver " + std::string(n));
        MakeDir(dest_);
        MakeDir(outside_);
        for (const char* db : {"Drvidx.bin", "Drvdata.bin"}) Write(windows_ + "\\INF\\" + db, "index");
        ASSERT_TRUE(MakeKey(HKEY_LOCAL_MACHINE, kDevice + std::string("\\0000"), "SetupTestUsb\\0000"));
        ASSERT_TRUE(MakeKey(HKEY_LOCAL_MACHINE, Class("SetupTestUsb\\0000")));
    }
    void TearDown() override {
        testfs::RemoveAll(dest_);
        testfs::RemoveAll(outside_);
        for (std::string f : {windows_ + "\\usbtest2.sys", windows_ + "\\INF\\Drvidx.bin", windows_ + "\\INF\\Drvdata.bin"})
            DeleteFileA(f.c_str());
        EXPECT_TRUE(DeleteKeyTree(HKEY_LOCAL_MACHINE, Class("SetupTestUsb")) && DeleteKeyTree(HKEY_LOCAL_MACHINE, kDevice));
    }
};

// An empty VID or PID changes nothing but the [SystemFile] copies (no Dir:
// the Windows folder); a name leading out of it is reported and not copied,
// the next entry still is. Without the device's key the database still goes.
TEST_F(UsbDriver, CopiesThenTheDevicesKeysAndDatabase) {
    for (const char* ids : {"[RegIni]\nVID=FFF1\n", "[RegIni]\nPID=0002\n"}) {
        s.Ini(std::string("[SystemFile]\nNumber=3\nFile1=usbtest1.sys\nDir1=setuptest usb\nFile2=usbtest1.sys\n"
                           "Dir2=..\\setuptest out\nFile3=usbtest2.sys\n") + ids);
        Drive([] {
            InstallUsbDriver();
            return 0;
        }, [] {
            EXPECT_EQ(ui::Answer("Invalid name", IDOK, 10000),
                      "Invalid name \"..\\setuptest out\\usbtest1.sys\" in [SystemFile] of morlan.ini; it is not copied.");
        });
        EXPECT_EQ(Read(dest_ + "\\usbtest1.sys") + ", " + Read(windows_ + "\\usbtest2.sys"), "driver 1, driver 2") << ids;
        EXPECT_FALSE(Exists(outside_ + "\\usbtest1.sys"));
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kDevice) && KeyExists(HKEY_LOCAL_MACHINE, Class("SetupTestUsb\\0000")) &&
                    Exists(windows_ + "\\INF\\Drvidx.bin") && Exists(windows_ + "\\INF\\Drvdata.bin")) << ids;
    }
    ASSERT_TRUE(DeleteKeyTree(HKEY_LOCAL_MACHINE, kDevice));
    s.Ini("[RegIni]\nVID=FFF1\nPID=0002\n");
    InstallUsbDriver();
    EXPECT_FALSE(Exists(windows_ + "\\INF\\Drvidx.bin") || Exists(windows_ + "\\INF\\Drvdata.bin"));
}

using Completion = SystemTest;

// File2 missing (names the folder itself), File3 in a subfolder, File4 beyond Number.
TEST_F(Completion, DeleteListedFilesGoesOnPastAMissingEntryAndStopsAtNumber) {
    for (const char* f : {"a.txt", "b.txt", "bin\\c.txt", "d.txt"}) Write(In(f), f);
    s.Ini("[DelFile]\nNumber=3\nFile1=a.txt\nFile3=bin\\c.txt\nFile4=d.txt\n");
    DeleteListedFiles();
    for (auto [f, kept] : {std::pair{"a.txt", false}, {"bin\\c.txt", false}, {"b.txt", true}, {"d.txt", true}, {"", true}})
        EXPECT_EQ(Exists(In(f)), kept) << f;
}

// The library of the chosen language (key number: list position plus one) is
// copied over the fixed name, also a read-only one, unless it is Default or
// missing. With 160 characters of folder, "\bin\GermanLangLib.dll" does not
// fit the 180-byte source buffer; cut, it would name GermanLangLib.
TEST_F(Completion, LanguageLibraryCopiedOverTheFixedNameUnlessDefaultMissingOrTooLong) {
    Write(In("bin\\Lang.dll"), "english");
    Write(In("bin\\German.dll"), "german");
    Write(In("bin\\Default.dll"), "not a language");
    SetFileAttributesA(In("bin\\Lang.dll").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM);
    g_setup.languageIndex = 1;
    for (const char* value : {"Default", "DEFAULT", "Missing"}) {
        s.Ini(std::string("[Language]\nNumber=2\nFile1=English\nFile2=") + value + "\nDestFile=Lang\n");
        CopyLanguageLibrary();
        EXPECT_EQ(Read(In("bin\\Lang.dll")), "english") << value;
        EXPECT_NE(GetFileAttributesA(In("bin\\Lang.dll").c_str()) & FILE_ATTRIBUTE_READONLY, 0u) << value;  // as it was
    }
    s.Ini("[Language]\nNumber=2\nFile1=Default\nFile2=German\nDestFile=Lang\n");
    CopyLanguageLibrary();
    EXPECT_EQ(Read(In("bin\\Lang.dll")) + Read(In("bin\\German.dll")), "germangerman");

    const std::string dir = s.inst + "\\" + std::string(159 - s.inst.size(), 'x');
    MakeDir(dir);
    MakeDir(dir + "\\bin");
    Set(g_setup.installDir, dir);
    Write(In("bin\\GermanLangLib"), "cut name");
    Write(In("bin\\GermanLangLib.dll"), "german");
    Write(In("bin\\Lang.dll"), "english");
    s.Ini("[Language]\nNumber=2\nFile1=Default\nFile2=GermanLangLib\nDestFile=Lang\n");
    CopyLanguageLibrary();
    EXPECT_EQ(Read(In("bin\\Lang.dll")), "english");
}

namespace {
// Runs f on a thread of its own while this thread pumps its messages (the
// other thread's ShowWindow and SetForegroundWindow reach our windows).
template <class F>
void OnOtherThread(F f) {
    std::atomic<bool> done{false};
    std::thread t([&] { f(), done = true; });
    for (MSG msg; !done; MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT))
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    t.join();
}
// Pumps this thread's messages until cond holds (at most 5 s): activation and
// the foreground reach the windows through the X server, later on a busy machine.
template <class C>
bool PumpUntil(C cond) {
    for (DWORD start = GetTickCount(); !cond(); MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT)) {
        for (MSG msg; PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);) DispatchMessageA(&msg);
        if (GetTickCount() - start > 5000) return false;
    }
    return true;
}
}  // namespace

TEST(SetupInstance, ASecondCopyBringsTheFirstOnesTopPopupBackAndDoesNotRun) {
    const std::string name = "setup instance test " + std::to_string(GetCurrentProcessId());
    SetupInstanceLock first(name.c_str());
    ASSERT_TRUE(first.Held());
    EXPECT_EQ(SetupInstanceOwner(name.c_str()), GetCurrentProcessId());
    // A copy that finds no window of the first one's waits, then ends all the same.
    OnOtherThread([&] { EXPECT_FALSE(SetupInstanceLock(name.c_str(), 300).Held()); });

    HWND owner = CreateWindowExA(0, "STATIC", "wizard", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300, 200, nullptr,
                                 nullptr, nullptr, nullptr);
    HWND box = CreateWindowExA(0, "STATIC", "box", WS_POPUP | WS_CAPTION | WS_VISIBLE, 40, 40, 200, 100, owner,
                               nullptr, nullptr, nullptr);
    EnableWindow(owner, FALSE);  // as while a modal box of it is open
    SetActiveWindow(box);
    ASSERT_TRUE(PumpUntil([&] { return GetLastActivePopup(owner) == box; }));
    ShowWindow(owner, SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(owner));
    OnOtherThread([&] { EXPECT_FALSE(SetupInstanceLock(name.c_str()).Held()); });
    EXPECT_FALSE(IsIconic(owner));
    EXPECT_TRUE(PumpUntil([&] { return GetForegroundWindow() == box; }))
        << "owner " << owner << ", last active popup " << GetLastActivePopup(owner) << ", in front "
        << GetForegroundWindow();
    DestroyWindow(owner);
}

TEST(SetupInstance, TakenAgainOnceTheHolderLetGoOrEndedWithoutLettingGo) {
    const std::string name = "setup instance test " + std::to_string(GetCurrentProcessId());
    { SetupInstanceLock first(name.c_str()); }
    auto* crashed = static_cast<SetupInstanceLock*>(nullptr);
    std::thread([&] { crashed = new SetupInstanceLock(name.c_str()); }).join();  // its thread is gone, the lock kept
    ASSERT_TRUE(crashed->Held());
    SetupInstanceLock next(name.c_str(), 0);
    EXPECT_TRUE(next.Held());
    EXPECT_EQ(SetupInstanceOwner(name.c_str()), GetCurrentProcessId());
    delete crashed;
}
