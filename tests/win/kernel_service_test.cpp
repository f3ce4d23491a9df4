// The kernel driver step on Wine's real registry and file system: the
// service key below HKEY_LOCAL_MACHINE and the driver in the system's
// drivers folder.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "app/SetupApp.h"
#include "app/SetupState.h"
#include "system/SystemSteps.h"
#include "win/support/ScratchTree.h"
#include "win/support/UiDriver.h"

namespace {

// Where ImagePath points: the system's own drivers folder.
std::string DriversFile() { return scratch::NativeSystemDir() + "\\drivers\\Kr3nt.sys"; }

struct ValueInfo {
    DWORD type = 0;
    DWORD size = 0;
    std::string data;
    bool present = false;
};

ValueInfo QueryValue(HKEY key, const char* name) {
    ValueInfo v;
    BYTE buf[512];
    DWORD size = sizeof buf;
    if (RegQueryValueExA(key, name, nullptr, &v.type, buf, &size) == ERROR_SUCCESS) {
        v.present = true;
        v.size = size;
        v.data.assign(reinterpret_cast<char*>(buf), size);
    }
    return v;
}

std::string Dword(DWORD d) { return std::string(reinterpret_cast<const char*>(&d), 4); }

// Checks the five service values of an open key with their types and
// sizes (strings with their terminating zero counted).
void ExpectServiceValues(HKEY key) {
    ValueInfo v = QueryValue(key, "DisplayName");
    EXPECT_EQ(v.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(v.size, 6u);
    EXPECT_EQ(v.data, std::string("KR3NT", 6));
    v = QueryValue(key, "ErrorControl");
    EXPECT_EQ(v.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(v.data, Dword(1));
    v = QueryValue(key, "ImagePath");
    EXPECT_EQ(v.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(v.size, 27u);
    EXPECT_EQ(v.data, std::string("System32\\DRIVERS\\Kr3nt.sys", 27));
    v = QueryValue(key, "Start");
    EXPECT_EQ(v.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(v.data, Dword(2));
    v = QueryValue(key, "Type");
    EXPECT_EQ(v.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(v.data, Dword(1));
}

DWORD CountValues(HKEY key, DWORD* subkeys = nullptr) {
    DWORD values = 0, keys = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &keys, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    if (subkeys) *subkeys = keys;
    return values;
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
    std::string savedDriver_;
    std::string wow64Driver_;  // where a redirected copy would land
    CSetupApp app_;
};

TEST_F(KernelServiceTest, WritesTheFiveValuesAndReplacesTheDriverFile) {
    ASSERT_TRUE(scratch::WriteFile(DriversFile(), "old driver"));
    app_.RegisterKernelService();
    EXPECT_EQ(scratch::ReadFile(DriversFile()), "new driver");
    if (!wow64Driver_.empty()) {
        EXPECT_FALSE(scratch::Exists(wow64Driver_));
    }

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKernelServiceKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD subkeys = 0;
    EXPECT_EQ(CountValues(key, &subkeys), 5u);
    EXPECT_EQ(subkeys, 0u);
    ExpectServiceValues(key);
    RegCloseKey(key);
}

TEST_F(KernelServiceTest, RegisteringAgainKeepsOtherValuesAndSubkeys) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKernelServiceKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    const char group[] = "Extended Base";
    RegSetValueExA(key, "Group", 0, REG_SZ, reinterpret_cast<const BYTE*>(group), sizeof group);
    const DWORD oldStart = 4;  // disabled, to be overwritten
    RegSetValueExA(key, "Start", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&oldStart), 4);
    HKEY sub = nullptr;
    RegCreateKeyExA(key, "Parameters", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr);
    RegCloseKey(sub);
    RegCloseKey(key);

    app_.RegisterKernelService();
    app_.RegisterKernelService();

    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKernelServiceKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD subkeys = 0;
    EXPECT_EQ(CountValues(key, &subkeys), 6u);
    EXPECT_EQ(subkeys, 1u);
    ExpectServiceValues(key);
    EXPECT_EQ(QueryValue(key, "Group").data, std::string(group, sizeof group));
    RegCloseKey(key);
    EXPECT_TRUE(scratch::KeyExists(HKEY_LOCAL_MACHINE, std::string(kKernelServiceKey) + "\\Parameters"));
}

// Wine keeps no access control on registry keys, so the key is made to
// fail another way: "KR3NT" is a (volatile) symbolic link to a key below a
// volatile key, and a non-volatile key cannot be created there
// (ERROR_CHILD_MUST_BE_VOLATILE). Both vanish with the wineserver anyway.
const char kVolatileParent[] = "Software\\SetupTestVolatile";

void RemoveServiceLink() {
    HKEY link = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKernelServiceKey, REG_OPTION_OPEN_LINK, DELETE | KEY_READ, &link) ==
        ERROR_SUCCESS) {
        RegDeleteKeyA(link, "");  // the link itself, not its target
        RegCloseKey(link);
    }
    scratch::DeleteKeyTree(HKEY_LOCAL_MACHINE, kVolatileParent);
}

TEST_F(KernelServiceTest, KeyThatCannotBeCreatedGivesRegisterErrorAndNoValue) {
    RemoveServiceLink();
    HKEY parent = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kVolatileParent, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                              nullptr, &parent, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(parent);
    HKEY link = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKernelServiceKey, 0, nullptr,
                              REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &link, nullptr),
              ERROR_SUCCESS);
    const wchar_t target[] = L"\\Registry\\Machine\\Software\\SetupTestVolatile\\KR3NT";
    RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(target),
                   sizeof target - sizeof(wchar_t));
    RegCloseKey(link);

    std::string shown;
    ui::Driver driver([&] { shown = ui::Answer("Register error!", IDOK); });
    app_.RegisterKernelService();
    driver.Finish();
    EXPECT_EQ(shown, "Register error!");

    // Nothing was written: the link's target was never made, and the link
    // holds only its own target value.
    EXPECT_FALSE(scratch::KeyExists(HKEY_LOCAL_MACHINE, kKernelServiceKey));
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKernelServiceKey, REG_OPTION_OPEN_LINK, KEY_READ, &link),
              ERROR_SUCCESS);
    EXPECT_EQ(CountValues(link), 1u);
    RegCloseKey(link);
    RemoveServiceLink();
    EXPECT_FALSE(scratch::KeyExists(HKEY_LOCAL_MACHINE, kVolatileParent));
    // The copy came first and stays.
    EXPECT_EQ(scratch::ReadFile(DriversFile()), "new driver");
}

TEST_F(KernelServiceTest, MissingDriverFileStillWritesTheKey) {
    DeleteFileA((install_ / "bin\\Kr3nt.sys").c_str());
    ASSERT_TRUE(scratch::WriteFile(DriversFile(), "old driver"));
    app_.RegisterKernelService();
    EXPECT_EQ(scratch::ReadFile(DriversFile()), "old driver");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKernelServiceKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(CountValues(key), 5u);
    RegCloseKey(key);
}

}  // namespace
