// The folder rules against a file system model that records what was made and asked.
#include <gtest/gtest.h>

#include <set>

#include "common/TestFiles.h"
#include "wizard/FolderRules.h"

namespace {

using Strings = std::vector<std::string>;

struct FakeFolders : FolderOps {
    std::set<std::string> existing{"C:\\", "C:\\Data", "C:\\Data\\file.txt"};
    std::string unwritablePrefix;  // CreateDir under this prefix fails
    Strings created, questions, messages;

    bool Exists(const char* path) override { return existing.count(path) != 0; }
    void CreateDir(const char* path) override {  // one level only: the parent must exist
        const std::string p = path, parent = p.substr(0, p.find_last_of('\\') == 2 ? 3 : p.find_last_of('\\'));
        if (existing.count(p) || !existing.count(parent) || (!unwritablePrefix.empty() && p.rfind(unwritablePrefix, 0) == 0)) return;
        existing.insert(p);
        created.push_back(p);
    }
    bool AskYesNo(const std::string& text) override {
        questions.push_back(text);
        return true;  // Yes: No is the window test's
    }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
};

}  // namespace

// tests/data/names/folders.txt: names and paths the page accepts or vetoes.
TEST(FolderRules, NamesAndPathsTheDestinationPageAccepts) {
    FakeFolders fs;
    for (const auto& row : testfs::DataRows("names/folders.txt")) {
        const char* text = row.at(1).c_str();
        EXPECT_EQ(row[0] == "name" ? IsValidFolderName(text) : CheckFolderPath(text, true, fs) == kFolderOk, row.at(2) == "valid")
            << row[0] << " [" << text << ']';
    }
    EXPECT_FALSE(IsValidFolderName(nullptr));
    EXPECT_EQ(CheckFolderPath(nullptr, true, fs), kFolderInvalid);
    EXPECT_TRUE(fs.created.empty());
}

// What the user is asked and told for each kind of path, and what is made
// (the folder picker's window test has the invalid, declined and existing
// ones; the end-to-end test makes a new folder of three levels).
TEST(ValidateFolderTest, QuestionsMessagesAndCreatedLevels) {
    const char* const uncreatable = "can not be created. Please double check.";
    const struct {  // message: the tail of the message shown, nullptr: none
        const char *path, *unwritable;
        bool asked;
        int expected;
        const char* message;
        Strings created;
    } cases[] = {
        {"C:\\Data\\file.txt", "", false, kFolderOk, nullptr, {}},  // a file counts as existing
        {"C:\\", "", false, kFolderOk, nullptr, {}},
        {"Q:\\", "", true, kFolderNotCreated, uncreatable, {}},
        {"C:\\a\\b\\c", "C:\\a\\b", true, kFolderNotCreated, uncreatable, {"C:\\a"}},
    };
    for (const auto& c : cases) {
        FakeFolders fs;
        fs.unwritablePrefix = c.unwritable;
        const std::string folder = std::string("The folder:\n\n") + c.path + "\n\n";
        EXPECT_EQ(ValidateFolder(c.path, fs), c.expected) << c.path;
        EXPECT_EQ(std::tuple(fs.questions, fs.messages, fs.created),
                  std::tuple(c.asked ? Strings{folder + "does not exist. Do you want the folder to be created?"} : Strings{},
                             c.message ? Strings{folder + c.message} : Strings{}, c.created)) << c.path;
    }
}
