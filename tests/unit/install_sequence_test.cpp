// The installation sequence over recorded steps: which results lead on,
// and which driver step and completion page follow after copying.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/InstallSequence.h"
#include "common/TestFiles.h"
#include "config/SetupState.h"

namespace {

using Calls = std::vector<std::string>;

class RecordedSteps : public ISetupSteps {
public:
    int wizardResult = 12325;
    int progressResult = 1;
    Calls calls;
    // The configuration file as the wizard leaves it: the copy that later
    // reads use (written by the destination page at Install).
    std::string configAfterWizard;

    int RunWizard() override {
        calls.push_back("wizard");
        if (!configAfterWizard.empty())
            std::snprintf(g_setup.configPath, sizeof g_setup.configPath, "%s", configAfterWizard.c_str());
        return wizardResult;
    }
    int RunProgress() override {
        calls.push_back("progress");
        return progressResult;
    }
    void DeleteListedFiles() override { calls.push_back("delete"); }
    void InstallUsbDriver() override { calls.push_back("usb"); }
    void RegisterKernelService() override { calls.push_back("kernel"); }
    void RunCompletion(unsigned pageId) override { calls.push_back("completion " + std::to_string(pageId)); }
    void CopyLanguageLibrary() override { calls.push_back("language"); }
    void CreateShortcuts() override { calls.push_back("shortcuts"); }
    void RunFinalAction() override { calls.push_back("final"); }
};

std::string WriteConfig(const std::string& name, const std::string& text) {
    const std::string path = ::testing::TempDir() + name;
    testfs::WriteBytes(path, text);
    return path;
}

class InstallSequence : public ::testing::Test {
protected:
    void SetUp() override { ResetSetupState(); }
    void TearDown() override { ResetSetupState(); }
};

}  // namespace

TEST_F(InstallSequence, OnlyInstallAndFinishedCopyingLeadOn) {
    for (int r : {1, 0, 12324}) {
        RecordedSteps steps;
        steps.wizardResult = r;
        RunInstallSequence(steps);
        EXPECT_EQ(steps.calls, Calls{"wizard"}) << r;
    }
    for (int r : {2, 0, 12325}) {
        RecordedSteps steps;
        steps.progressResult = r;
        RunInstallSequence(steps);
        EXPECT_EQ(steps.calls, (Calls{"wizard", "progress"})) << r;
    }
}

// Every row of the decision table, with Type read from the copy of the
// configuration file that the wizard switched to, after copying.
TEST_F(InstallSequence, DriverStepAndCompletionPageFollowTypeAndPlatform) {
    std::string source = WriteConfig("seq_source.ini", "[Programmer]\nType=1\n");
    struct Row {
        const char* type;  // value of [Programmer] Type in the copy; nullptr: no key
        uint32_t platform;
        const char* driver;  // nullptr: none
        unsigned page;
        int32_t programmerType;
    } rows[] = {
        {"1", 2, "usb", 139, 1},        {"1", 1, "usb", 139, 1},    {"0", 2, "kernel", 141, 0},
        {"0", 1, nullptr, 139, 0},      {nullptr, 2, "kernel", 141, 0}, {"2", 2, nullptr, 139, 2},
        {"0x1", 1, "usb", 139, 1},
    };
    for (const Row& row : rows) {
        std::string text = row.type ? std::string("[Programmer]\r\nType=") + row.type + "\r\n" : "[Other]\r\n";
        RecordedSteps steps;
        steps.configAfterWizard = WriteConfig("seq_copy.ini", text);
        std::snprintf(g_setup.configPath, sizeof g_setup.configPath, "%s", source.c_str());
        g_setup.platformId = row.platform;
        g_setup.programmerType = 99;
        RunInstallSequence(steps);
        Calls expected{"wizard", "progress", "delete"};
        if (row.driver) expected.push_back(row.driver);
        expected.push_back("completion " + std::to_string(row.page));
        for (const char* c : {"language", "shortcuts", "final"}) expected.push_back(c);
        EXPECT_EQ(steps.calls, expected) << "Type " << (row.type ? row.type : "(missing)") << ", platform "
                                         << row.platform;
        EXPECT_EQ(g_setup.programmerType, row.programmerType);
    }
}

TEST(SourceFolder, CutAtTheLastBackslash) {
    ResetSetupState();
    SetSourceFromModulePath("A:\\SETUP.EXE");
    EXPECT_STREQ(g_setup.sourceDir, "A:");
    EXPECT_STREQ(g_setup.configPath, "A:\\morlan.ini");
    SetSourceFromModulePath("C:\\Program Files\\Medium 1\\setup.exe");
    EXPECT_STREQ(g_setup.sourceDir, "C:\\Program Files\\Medium 1");
    EXPECT_STREQ(g_setup.configPath, "C:\\Program Files\\Medium 1\\morlan.ini");

    // 188 characters of folder still fit with "\morlan.ini"; 189 do not, and
    // then no cut path is named.
    std::string folder = "C:\\" + std::string(185, 'd');
    SetSourceFromModulePath((folder + "\\setup.exe").c_str());
    EXPECT_EQ(std::string(g_setup.configPath), folder + "\\morlan.ini");
    folder += "e";
    SetSourceFromModulePath((folder + "\\setup.exe").c_str());
    EXPECT_EQ(std::string(g_setup.sourceDir), folder);
    EXPECT_STREQ(g_setup.configPath, "");
    SetSourceFromModulePath(("C:\\" + std::string(250, 'x') + "\\setup.exe").c_str());
    EXPECT_STREQ(g_setup.sourceDir, "");
    EXPECT_STREQ(g_setup.configPath, "");
    ResetSetupState();
}
