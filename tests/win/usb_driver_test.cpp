// The USB driver step on Wine's real registry and Windows folder: the
// [SystemFile] copies, the removal of a device's keys and the driver
// database files.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "config/SetupState.h"
#include "system/CompletionActions.h"
#include "system/SystemSteps.h"
#include "win/support/ScratchTree.h"

namespace {

bool MakeKey(HKEY root, const std::string& path, const char* driver = nullptr) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    if (driver)
        RegSetValueExA(key, "Driver", 0, REG_SZ, reinterpret_cast<const BYTE*>(driver),
                       static_cast<DWORD>(std::strlen(driver) + 1));
    RegCloseKey(key);
    return true;
}

std::string Class(const std::string& name) { return std::string(kDeviceClassKeyPrefix) + name; }

// The device-key removal below a scratch key of the current user, so that
// nothing of the machine's own keys is at stake: each instance's class key
// goes (until an instance without "Driver"), then every instance (more than
// one batch of them too), then the device; an empty "Driver" never names
// the class folder itself; nothing else is touched.
TEST(DeviceKeys, ClassKeysThenInstancesThenTheDevice) {
    const char* kRoot = "Software\\SetupTests\\UsbRoot";
    const std::string dev = "Enum\\USB\\VID_1234&PID_ABCD", other = Class("Other\\0000");
    std::vector<std::pair<std::string, const char*>> many;
    char name[16];
    for (int i = 0; i < 203; ++i) std::snprintf(name, sizeof name, "\\%04d", i), many.push_back({dev + name, nullptr});
    const struct {
        std::vector<std::pair<std::string, const char*>> make;  // key, its "Driver" value
        std::vector<std::string> gone, kept;
    } cases[] = {
        {{{dev + "\\5&1", "USB\\0000"}, {dev + "\\5&2", "USB\\0001"}, {Class("USB\\0000"), nullptr},
          {Class("USB\\0001"), nullptr}, {"Enum\\USB\\VID_1234&PID_ABCE\\5&9", nullptr}},
         {Class("USB\\0000"), Class("USB\\0001"), dev},
         {Class("USB"), other, "Enum\\USB\\VID_1234&PID_ABCE\\5&9"}},
        {{{dev + "\\0000", "USB\\0000"}, {dev + "\\0001", nullptr}, {dev + "\\0002", "USB\\0002"},
          {Class("USB\\0000"), nullptr}, {Class("USB\\0002"), nullptr}},
         {Class("USB\\0000"), dev},
         {Class("USB\\0002")}},
        {{{dev + "\\0000", ""}}, {dev}, {kDeviceClassKeyPrefix, other}},
        {many, {dev}, {"Enum\\USB", other}},
        {{{Class("USB\\0000"), nullptr}}, {}, {Class("USB\\0000"), other}},  // no device key
    };
    for (const auto& c : cases) {
        HKEY root = nullptr;
        ASSERT_TRUE(scratch::DeleteKeyTree(HKEY_CURRENT_USER, kRoot));
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kRoot, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root, nullptr),
                  ERROR_SUCCESS);
        ASSERT_TRUE(MakeKey(root, other));
        for (const auto& [key, driver] : c.make) ASSERT_TRUE(MakeKey(root, key, driver));
        DeleteDeviceKeysUnder(root, dev.c_str());
        for (const std::string& k : c.gone) EXPECT_FALSE(scratch::KeyExists(root, k)) << k << ", case " << (&c - cases);
        for (const std::string& k : c.kept) EXPECT_TRUE(scratch::KeyExists(root, k)) << k << ", case " << (&c - cases);
        RegCloseKey(root);
    }
    EXPECT_TRUE(scratch::DeleteKeyTree(HKEY_CURRENT_USER, kRoot));
}

// The whole step, on HKEY_LOCAL_MACHINE and the Windows folder of the test
// prefix; everything made here is removed again.
class InstallUsbDriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSetupState();
        char windows[MAX_PATH] = {0};
        GetWindowsDirectoryA(windows, MAX_PATH);
        windows_ = windows;
        hadEnum_ = scratch::KeyExists(HKEY_LOCAL_MACHINE, "Enum");
        hadClass_ = scratch::KeyExists(HKEY_LOCAL_MACHINE, kDeviceClassKeyPrefix);
        scratch::MakeDirIn(install_.Path(), "bin");
        std::strcpy(g_setup.installDir, install_.Path().c_str());
        std::strcpy(g_setup.configPath, (install_ / "morlan.ini").c_str());
        for (const char* n : {"1", "2", "3"})
            ASSERT_TRUE(scratch::WriteFile(install_ / ("bin\\usbtest" + std::string(n) + ".sys"), "driver " + std::string(n)));
        wow64Dir_ = scratch::Wow64SystemDir();
        CreateDirectoryA(DestDir().c_str(), nullptr);
        CreateDirectoryA((windows_ + "\\INF").c_str(), nullptr);
        for (const char* db : {"Drvidx.bin", "Drvdata.bin"}) ASSERT_TRUE(scratch::WriteFile(Database(db), "index"));
        ASSERT_TRUE(MakeKey(HKEY_LOCAL_MACHINE, kDevice + std::string("\\0000"), "SetupTestUsb\\0000"));
        ASSERT_TRUE(MakeKey(HKEY_LOCAL_MACHINE, Class("SetupTestUsb\\0000")));
    }
    void TearDown() override {
        scratch::RemoveTree(DestDir());
        DeleteFileA((windows_ + "\\usbtest2.sys").c_str());
        DeleteFileA(SystemDriver().c_str());
        if (!wow64Dir_.empty()) DeleteFileA((wow64Dir_ + "\\drivers\\usbtest3.sys").c_str());
        for (const char* db : {"Drvidx.bin", "Drvdata.bin"}) DeleteFileA(Database(db).c_str());
        EXPECT_TRUE(scratch::DeleteKeyTree(HKEY_LOCAL_MACHINE, Class("SetupTestUsb")));
        EXPECT_TRUE(scratch::DeleteKeyTree(HKEY_LOCAL_MACHINE, kDevice));
        if (!hadEnum_) {
            EXPECT_TRUE(scratch::DeleteKeyTree(HKEY_LOCAL_MACHINE, "Enum"));
        }
        if (!hadClass_) {
            EXPECT_TRUE(scratch::DeleteKeyTree(HKEY_LOCAL_MACHINE, kDeviceClassKeyPrefix));
        }
    }
    void Config(const std::string& text) { ASSERT_TRUE(scratch::WriteFile(g_setup.configPath, text)); }
    std::string DestDir() const { return windows_ + "\\setuptest usb"; }
    std::string Database(const char* name) const { return windows_ + "\\INF\\" + name; }
    std::string SystemDriver() const { return scratch::NativeSystemDir() + "\\drivers\\usbtest3.sys"; }
    // The device's keys and the driver database are still there.
    bool Untouched() const {
        return scratch::KeyExists(HKEY_LOCAL_MACHINE, kDevice) &&
               scratch::KeyExists(HKEY_LOCAL_MACHINE, Class("SetupTestUsb\\0000")) &&
               scratch::Exists(Database("Drvidx.bin")) && scratch::Exists(Database("Drvdata.bin"));
    }

    static constexpr const char* kDevice = "Enum\\USB\\VID_FFF1&PID_0002";
    scratch::Folder install_{"usb driver test"};
    std::string windows_, wow64Dir_;
    bool hadEnum_ = false, hadClass_ = false;
};

TEST_F(InstallUsbDriverTest, CopiesSystemFilesAndClearsTheDevice) {
    Config("[SystemFile]\nNumber=3\nFile1=usbtest1.sys\nDir1=setuptest usb\nFile2=usbtest2.sys\n"
           "File3=usbtest3.sys\nDir3=System32\\drivers\n[RegIni]\nVID=FFF1\nPID=0002\n");
    ASSERT_TRUE(scratch::WriteFile(DestDir() + "\\usbtest1.sys", "older driver"));
    InstallUsbDriver();
    EXPECT_EQ(scratch::ReadFile(DestDir() + "\\usbtest1.sys"), "driver 1");
    // Dir2 missing: Windows folder + "\\" + "\\" + file, a file of the Windows folder itself.
    EXPECT_EQ(scratch::ReadFile(windows_ + "\\usbtest2.sys"), "driver 2");
    // System32 is the system's own folder, not the 32-bit one.
    EXPECT_EQ(scratch::ReadFile(SystemDriver()), "driver 3");
    if (!wow64Dir_.empty()) {
        EXPECT_FALSE(scratch::Exists(wow64Dir_ + "\\drivers\\usbtest3.sys"));
    }
    EXPECT_FALSE(scratch::KeyExists(HKEY_LOCAL_MACHINE, kDevice));
    EXPECT_FALSE(scratch::KeyExists(HKEY_LOCAL_MACHINE, Class("SetupTestUsb\\0000")));
    EXPECT_FALSE(scratch::Exists(Database("Drvidx.bin")) || scratch::Exists(Database("Drvdata.bin")));
}

// Without the device's key the database still goes; an empty VID or PID
// changes nothing but the copies.
TEST_F(InstallUsbDriverTest, MissingDeviceOrEmptyIds) {
    for (const char* ids : {"[RegIni]\nVID=FFF1\n", "[RegIni]\nPID=0002\n"}) {
        Config(std::string("[SystemFile]\nNumber=1\nFile1=usbtest1.sys\nDir1=setuptest usb\n") + ids);
        InstallUsbDriver();
        EXPECT_EQ(scratch::ReadFile(DestDir() + "\\usbtest1.sys"), "driver 1") << ids;
        EXPECT_TRUE(Untouched()) << ids;
    }
    ASSERT_TRUE(scratch::DeleteKeyTree(HKEY_LOCAL_MACHINE, kDevice));
    Config("[RegIni]\nVID=FFF1\nPID=0002\n");
    InstallUsbDriver();
    EXPECT_TRUE(scratch::KeyExists(HKEY_LOCAL_MACHINE, Class("SetupTestUsb\\0000")));
    EXPECT_FALSE(scratch::Exists(Database("Drvidx.bin")) || scratch::Exists(Database("Drvdata.bin")));
}

}  // namespace
