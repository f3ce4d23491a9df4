// The kernel driver step on Wine's real registry and file system: the
// service key below HKEY_LOCAL_MACHINE and the driver in the system's
// drivers folder.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "config/SetupState.h"
#include "system/CompletionActions.h"
#include "system/SystemSteps.h"
#include "win/support/ScratchTree.h"
#include "win/support/UiDriver.h"

namespace {

// Where ImagePath points: the system's own drivers folder.
std::string DriversFile() { return scratch::NativeSystemDir() + "\\drivers\\Kr3nt.sys"; }

// The number of values and subkeys of the service key (-1: no key), after
// checking the five service values with their types and sizes (strings
// with their terminating zero counted).
std::pair<int, int> ServiceKey() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKernelServiceKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return {-1, -1};
    const DWORD one = 1, two = 2;
    const struct {
        const char* name;
        DWORD type;
        std::string data;
    } values[] = {{"DisplayName", REG_SZ, std::string("KR3NT", 6)},
                  {"ErrorControl", REG_DWORD, std::string(reinterpret_cast<const char*>(&one), 4)},
                  {"ImagePath", REG_SZ, std::string("System32\\DRIVERS\\Kr3nt.sys", 27)},
                  {"Start", REG_DWORD, std::string(reinterpret_cast<const char*>(&two), 4)},
                  {"Type", REG_DWORD, std::string(reinterpret_cast<const char*>(&one), 4)}};
    for (const auto& v : values) {
        char buf[512];
        DWORD type = 0, size = sizeof buf;
        EXPECT_EQ(RegQueryValueExA(key, v.name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size), ERROR_SUCCESS);
        EXPECT_EQ(type, v.type) << v.name;
        EXPECT_EQ(std::string(buf, size), v.data) << v.name;
    }
    DWORD count = 0, subkeys = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return {static_cast<int>(count), static_cast<int>(subkeys)};
}

class KernelServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSetupState();
        ASSERT_TRUE(scratch::DeleteKeyTree(HKEY_LOCAL_MACHINE, kKernelServiceKey));
        scratch::MakeDirIn(install_.Path(), "bin");
        std::strcpy(g_setup.installDir, install_.Path().c_str());
        ASSERT_TRUE(scratch::WriteFile(install_ / "bin\\Kr3nt.sys", "new driver"));
        savedDriver_ = scratch::ReadFile(DriversFile());
        ASSERT_TRUE(scratch::WriteFile(DriversFile(), "old driver"));
        const std::string wow64 = scratch::Wow64SystemDir();
        if (!wow64.empty()) wow64Driver_ = wow64 + "\\drivers\\Kr3nt.sys";
    }
    void TearDown() override {
        // Leave neither a service that Wine would try to load at its next
        // start nor our driver file behind.
        EXPECT_TRUE(scratch::DeleteKeyTree(HKEY_LOCAL_MACHINE, kKernelServiceKey));
        if (savedDriver_ == "<missing>") DeleteFileA(DriversFile().c_str());
        else scratch::WriteFile(DriversFile(), savedDriver_);
        if (!wow64Driver_.empty()) DeleteFileA(wow64Driver_.c_str());
    }
    scratch::Folder install_{"kernel service test"};
    std::string savedDriver_, wow64Driver_;  // where a redirected copy would land
};

// The driver replaces the old one in the system's own folder (never the
// 32-bit one); without a driver file the key is written all the same.
TEST_F(KernelServiceTest, WritesTheFiveValuesAndReplacesTheDriverFile) {
    RegisterKernelService();
    EXPECT_EQ(scratch::ReadFile(DriversFile()), "new driver");
    if (!wow64Driver_.empty()) {
        EXPECT_FALSE(scratch::Exists(wow64Driver_));
    }
    EXPECT_EQ(ServiceKey(), std::make_pair(5, 0));

    ASSERT_TRUE(scratch::DeleteKeyTree(HKEY_LOCAL_MACHINE, kKernelServiceKey));
    DeleteFileA((install_ / "bin\\Kr3nt.sys").c_str());
    ASSERT_TRUE(scratch::WriteFile(DriversFile(), "old driver"));
    RegisterKernelService();
    EXPECT_EQ(scratch::ReadFile(DriversFile()), "old driver");
    EXPECT_EQ(ServiceKey(), std::make_pair(5, 0));
}

TEST_F(KernelServiceTest, RegisteringAgainKeepsOtherValuesAndSubkeys) {
    HKEY key = nullptr, sub = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(kKernelServiceKey) + "\\Parameters").c_str(), 0, nullptr,
                              0, KEY_ALL_ACCESS, nullptr, &sub, nullptr), ERROR_SUCCESS);
    RegCloseKey(sub);
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKernelServiceKey, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    RegSetValueExA(key, "Group", 0, REG_SZ, reinterpret_cast<const BYTE*>("Extended Base"), 14);
    const DWORD disabled = 4;  // to be overwritten
    RegSetValueExA(key, "Start", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&disabled), 4);
    RegCloseKey(key);
    RegisterKernelService();
    RegisterKernelService();
    EXPECT_EQ(ServiceKey(), std::make_pair(6, 1));
}

// Wine keeps no access control on registry keys, so the key is made to fail
// another way: "KR3NT" is a (volatile) symbolic link to a key below a
// volatile key, where a non-volatile key cannot be created. The message
// comes, nothing is written, and the copy made before stays.
TEST_F(KernelServiceTest, KeyThatCannotBeCreatedGivesRegisterErrorAndNoValue) {
    const char kVolatileParent[] = "Software\\SetupTestVolatile";
    auto removeLink = [&] {
        HKEY link = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKernelServiceKey, REG_OPTION_OPEN_LINK, DELETE | KEY_READ, &link) ==
            ERROR_SUCCESS)
            RegDeleteKeyA(link, ""), RegCloseKey(link);  // the link itself, not its target
        scratch::DeleteKeyTree(HKEY_LOCAL_MACHINE, kVolatileParent);
    };
    removeLink();
    HKEY parent = nullptr, link = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kVolatileParent, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                              nullptr, &parent, nullptr), ERROR_SUCCESS);
    RegCloseKey(parent);
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKernelServiceKey, 0, nullptr,
                              REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &link, nullptr),
              ERROR_SUCCESS);
    const wchar_t target[] = L"\\Registry\\Machine\\Software\\SetupTestVolatile\\KR3NT";
    RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(target),
                   sizeof target - sizeof(wchar_t));
    RegCloseKey(link);

    ui::Driver driver([&] { EXPECT_EQ(ui::Answer("Register error!", IDOK), "Register error!"); });
    RegisterKernelService();
    driver.Finish();
    EXPECT_FALSE(scratch::KeyExists(HKEY_LOCAL_MACHINE, kKernelServiceKey));  // the target was never made
    removeLink();
    EXPECT_FALSE(scratch::KeyExists(HKEY_LOCAL_MACHINE, kVolatileParent));
    EXPECT_EQ(scratch::ReadFile(DriversFile()), "new driver");
}

}  // namespace
