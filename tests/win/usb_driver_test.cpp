// The USB driver step on Wine's real registry and Windows folder: the
// [SystemFile] copies, the removal of a device's keys and the driver
// database files.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/SetupApp.h"
#include "app/SetupState.h"
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

// The device-key removal below a scratch root of the current user, so that
// nothing of the machine's own keys is at stake.
class DeviceKeysTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(scratch::DeleteKeyTree(HKEY_CURRENT_USER, kRootPath));
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kRootPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root_,
                                  nullptr),
                  ERROR_SUCCESS);
        ASSERT_TRUE(MakeKey(root_, Class("Other\\0000")));  // a class key no instance names
    }
    void TearDown() override {
        RegCloseKey(root_);
        EXPECT_TRUE(scratch::DeleteKeyTree(HKEY_CURRENT_USER, kRootPath));
    }
    bool Has(const std::string& path) const { return scratch::KeyExists(root_, path); }

    static constexpr const char* kRootPath = "Software\\SetupTests\\UsbRoot";
    const std::string device_ = "Enum\\USB\\VID_1234&PID_ABCD";
    HKEY root_ = nullptr;
};

TEST_F(DeviceKeysTest, TwoInstancesLoseTheirClassKeysThenInstancesThenDevice) {
    ASSERT_TRUE(MakeKey(root_, device_ + "\\5&1", "USB\\0000"));
    ASSERT_TRUE(MakeKey(root_, device_ + "\\5&2", "USB\\0001"));
    ASSERT_TRUE(MakeKey(root_, Class("USB\\0000")));
    ASSERT_TRUE(MakeKey(root_, Class("USB\\0001")));
    ASSERT_TRUE(MakeKey(root_, "Enum\\USB\\VID_1234&PID_ABCE\\5&9"));  // a neighbouring device

    DeleteDeviceKeysUnder(root_, device_.c_str());
    EXPECT_FALSE(Has(Class("USB\\0000")));
    EXPECT_FALSE(Has(Class("USB\\0001")));
    EXPECT_FALSE(Has(device_));
    EXPECT_TRUE(Has(Class("USB")));
    EXPECT_TRUE(Has(Class("Other\\0000")));
    EXPECT_TRUE(Has("Enum\\USB\\VID_1234&PID_ABCE\\5&9"));
}

TEST_F(DeviceKeysTest, InstanceWithoutDriverStopsClassKeysButEveryInstanceGoes) {
    // Enumerated in name order: 0000, 0001 (no "Driver"), 0002.
    ASSERT_TRUE(MakeKey(root_, device_ + "\\0000", "USB\\0000"));
    ASSERT_TRUE(MakeKey(root_, device_ + "\\0001"));
    ASSERT_TRUE(MakeKey(root_, device_ + "\\0002", "USB\\0002"));
    ASSERT_TRUE(MakeKey(root_, Class("USB\\0000")));
    ASSERT_TRUE(MakeKey(root_, Class("USB\\0002")));

    DeleteDeviceKeysUnder(root_, device_.c_str());
    EXPECT_FALSE(Has(Class("USB\\0000")));
    EXPECT_TRUE(Has(Class("USB\\0002")));
    EXPECT_FALSE(Has(device_ + "\\0000"));
    EXPECT_FALSE(Has(device_ + "\\0002"));
    EXPECT_FALSE(Has(device_));
}

TEST_F(DeviceKeysTest, EmptyDriverValueNeverNamesTheClassFolder) {
    // An empty class folder could be deleted by its bare path.
    ASSERT_TRUE(scratch::DeleteKeyTree(root_, Class("Other")));
    ASSERT_TRUE(MakeKey(root_, device_ + "\\0000", ""));
    DeleteDeviceKeysUnder(root_, device_.c_str());
    EXPECT_TRUE(Has(kDeviceClassKeyPrefix));
    EXPECT_FALSE(Has(device_));
}

TEST_F(DeviceKeysTest, MoreInstancesThanOneBatchAreAllDeleted) {
    char name[16];
    for (int i = 0; i < 203; ++i) {
        std::snprintf(name, sizeof name, "\\%04d", i);
        ASSERT_TRUE(MakeKey(root_, device_ + name));
    }
    DeleteDeviceKeysUnder(root_, device_.c_str());
    EXPECT_FALSE(Has(device_));
    EXPECT_TRUE(Has("Enum\\USB"));
}

TEST_F(DeviceKeysTest, MissingDeviceKeyChangesNothing) {
    ASSERT_TRUE(MakeKey(root_, Class("USB\\0000")));
    DeleteDeviceKeysUnder(root_, device_.c_str());
    EXPECT_TRUE(Has(Class("USB\\0000")));
    EXPECT_TRUE(Has(Class("Other\\0000")));
}

// The whole step, on HKEY_LOCAL_MACHINE and the Windows folder of the
// test prefix. Everything made here is removed again.
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
        ASSERT_TRUE(scratch::WriteFile(install_ / "bin\\usbtest1.sys", "driver one"));
        ASSERT_TRUE(scratch::WriteFile(install_ / "bin\\usbtest2.sys", "driver two"));
        ASSERT_TRUE(scratch::WriteFile(install_ / "bin\\usbtest3.sys", "driver three"));
        wow64Dir_ = scratch::Wow64SystemDir();
        CreateDirectoryA(DestDir().c_str(), nullptr);
        CreateDirectoryA((windows_ + "\\INF").c_str(), nullptr);
        ASSERT_TRUE(scratch::WriteFile(Database("Drvidx.bin"), "index"));
        ASSERT_TRUE(scratch::WriteFile(Database("Drvdata.bin"), "data"));
        ASSERT_TRUE(MakeKey(HKEY_LOCAL_MACHINE, kDevice + std::string("\\0000"), "SetupTestUsb\\0000"));
        ASSERT_TRUE(MakeKey(HKEY_LOCAL_MACHINE, Class("SetupTestUsb\\0000")));
    }
    void TearDown() override {
        scratch::RemoveTree(DestDir());
        DeleteFileA((windows_ + "\\usbtest2.sys").c_str());
        DeleteFileA(SystemDriver().c_str());
        if (!wow64Dir_.empty()) DeleteFileA((wow64Dir_ + "\\drivers\\usbtest3.sys").c_str());
        DeleteFileA(Database("Drvidx.bin").c_str());
        DeleteFileA(Database("Drvdata.bin").c_str());
        EXPECT_TRUE(scratch::DeleteKeyTree(HKEY_LOCAL_MACHINE, Class("SetupTestUsb")));
        EXPECT_TRUE(scratch::DeleteKeyTree(HKEY_LOCAL_MACHINE, "Enum\\USB\\VID_FFF1&PID_0002"));
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
    bool DeviceThere() const { return scratch::KeyExists(HKEY_LOCAL_MACHINE, kDevice); }
    std::string SystemDriver() const { return scratch::NativeSystemDir() + "\\drivers\\usbtest3.sys"; }

    static constexpr const char* kDevice = "Enum\\USB\\VID_FFF1&PID_0002";
    scratch::Folder install_{"usb driver test"};
    std::string windows_;
    std::string wow64Dir_;
    bool hadEnum_ = false;
    bool hadClass_ = false;
    CSetupApp app_;
};

TEST_F(InstallUsbDriverTest, CopiesSystemFilesAndClearsTheDevice) {
    Config("[SystemFile]\nNumber=3\nFile1=usbtest1.sys\nDir1=setuptest usb\nFile2=usbtest2.sys\n"
           "File3=usbtest3.sys\nDir3=System32\\drivers\n[RegIni]\nVID=FFF1\nPID=0002\n");
    ASSERT_TRUE(scratch::WriteFile(DestDir() + "\\usbtest1.sys", "older driver"));
    app_.InstallUsbDriver();
    EXPECT_EQ(scratch::ReadFile(DestDir() + "\\usbtest1.sys"), "driver one");
    // Dir2 missing: Windows folder + "\\" + "\\" + file, which names a file
    // of the Windows folder itself.
    EXPECT_EQ(scratch::ReadFile(windows_ + "\\usbtest2.sys"), "driver two");
    // System32 is the system's own folder, not the 32-bit one.
    EXPECT_EQ(scratch::ReadFile(SystemDriver()), "driver three");
    if (!wow64Dir_.empty()) {
        EXPECT_FALSE(scratch::Exists(wow64Dir_ + "\\drivers\\usbtest3.sys"));
    }
    EXPECT_FALSE(DeviceThere());
    EXPECT_FALSE(scratch::KeyExists(HKEY_LOCAL_MACHINE, Class("SetupTestUsb\\0000")));
    EXPECT_FALSE(scratch::Exists(Database("Drvidx.bin")));
    EXPECT_FALSE(scratch::Exists(Database("Drvdata.bin")));
}

TEST_F(InstallUsbDriverTest, MissingDeviceKeyStillDeletesTheDatabase) {
    ASSERT_TRUE(scratch::DeleteKeyTree(HKEY_LOCAL_MACHINE, kDevice));
    Config("[RegIni]\nVID=FFF1\nPID=0002\n");  // no [SystemFile]: nothing copied
    app_.InstallUsbDriver();
    EXPECT_FALSE(scratch::Exists(DestDir() + "\\usbtest1.sys"));
    EXPECT_TRUE(scratch::KeyExists(HKEY_LOCAL_MACHINE, Class("SetupTestUsb\\0000")));
    EXPECT_FALSE(scratch::Exists(Database("Drvidx.bin")));
    EXPECT_FALSE(scratch::Exists(Database("Drvdata.bin")));
}

TEST_F(InstallUsbDriverTest, EmptyVidOrPidChangesNothing) {
    for (const char* ids : {"[RegIni]\nVID=FFF1\n", "[RegIni]\nPID=0002\n"}) {
        Config(std::string("[SystemFile]\nNumber=1\nFile1=usbtest1.sys\nDir1=setuptest usb\n") + ids);
        app_.InstallUsbDriver();
        EXPECT_EQ(scratch::ReadFile(DestDir() + "\\usbtest1.sys"), "driver one") << ids;
        EXPECT_TRUE(DeviceThere()) << ids;
        EXPECT_TRUE(scratch::KeyExists(HKEY_LOCAL_MACHINE, Class("SetupTestUsb\\0000"))) << ids;
        EXPECT_TRUE(scratch::Exists(Database("Drvidx.bin"))) << ids;
        EXPECT_TRUE(scratch::Exists(Database("Drvdata.bin"))) << ids;
    }
}

}  // namespace
