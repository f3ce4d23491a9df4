// The installation sequence over recorded steps.
#include <gtest/gtest.h>

#include <cstdio>

#include "app/InstallSequence.h"
#include "common/TestFiles.h"
#include "config/SetupState.h"

namespace {

using Calls = std::vector<std::string>;

struct RecordedSteps : ISetupSteps {
    int wizardResult = 12325, progressResult = 1;
    std::string configAfterWizard;  // the copy written by the destination page at Install
    Calls calls;

    int RunWizard() override {
        calls.push_back("wizard");
        if (!configAfterWizard.empty()) std::snprintf(g_setup.configPath, sizeof g_setup.configPath, "%s", configAfterWizard.c_str());
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

struct InstallSequence : ::testing::Test {
    void SetUp() override { ResetSetupState(); }
    void TearDown() override { ResetSetupState(); }
};

}  // namespace

TEST_F(InstallSequence, OnlyInstallAndFinishedCopyingLeadOn) {
    for (auto [wizard, progress, calls] : {std::tuple{1, 1, 1}, {0, 1, 1}, {12324, 1, 1}, {12325, 2, 2}, {12325, 0, 2}, {12325, 12325, 2}}) {
        RecordedSteps steps;
        steps.wizardResult = wizard;
        steps.progressResult = progress;
        RunInstallSequence(steps);
        const Calls all{"wizard", "progress"};
        EXPECT_EQ(steps.calls, Calls(all.begin(), all.begin() + calls)) << wizard << " " << progress;
    }
}

// The source says Type=1 (USB); the copy that the wizard switched to says 0:
// on NT the kernel service and the restart page follow.
TEST_F(InstallSequence, DriverStepFollowsTheTypeOfTheWizardsCopy) {
    const std::string source = ::testing::TempDir() + "seq_source.ini";
    testfs::WriteBytes(source, "[Programmer]\nType=1\n");
    RecordedSteps steps;
    steps.configAfterWizard = ::testing::TempDir() + "seq_copy.ini";
    testfs::WriteBytes(steps.configAfterWizard, "[Programmer]\r\nType=0\r\n");
    std::snprintf(g_setup.configPath, sizeof g_setup.configPath, "%s", source.c_str());
    g_setup.platformId = Platform::nt;
    g_setup.programmerType = static_cast<ProgrammerType>(99);
    RunInstallSequence(steps);
    EXPECT_EQ(steps.calls, (Calls{"wizard", "progress", "delete", "kernel", "completion 141", "language", "shortcuts", "final"}));
    EXPECT_EQ(g_setup.programmerType, ProgrammerType::kernelDriver);
}

// tests/data/names/source.txt: the source folder is cut at the last backslash,
// and a path that does not fit is refused rather than cut.
TEST_F(InstallSequence, SourceFolderIsCutAtTheLastBackslash) {
    for (const auto& row : testfs::DataRows("names/source.txt")) {
        SetSourceFromModulePath(row.at(0).c_str());
        EXPECT_EQ(std::pair(std::string(g_setup.sourceDir), std::string(g_setup.configPath)), std::pair(row.at(1), row.at(2))) << row[0];
    }
}
