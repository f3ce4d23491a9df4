// The folder picker's path rules and creation walk against a model of the
// file system that records what was created and what the user was asked.
#include <gtest/gtest.h>

#include <set>

#include "wizard/FolderRules.h"

namespace {

using Strings = std::vector<std::string>;

struct FakeFolders : FolderOps {
    std::set<std::string> existing{"C:\\", "C:\\Data", "C:\\Data\\file.txt"};
    std::string unwritablePrefix;  // CreateDir under this prefix fails
    Strings created, questions, messages;
    bool answerYes = true;

    bool Exists(const char* path) override { return existing.count(path) != 0; }
    void CreateDir(const char* path) override {  // one level only: the parent must exist
        const std::string p = path, parent = p.substr(0, p.find_last_of('\\') == 2 ? 3 : p.find_last_of('\\'));
        if (existing.count(p) || !existing.count(parent) || (!unwritablePrefix.empty() && p.rfind(unwritablePrefix, 0) == 0)) return;
        existing.insert(p);
        created.push_back(p);
    }
    bool AskYesNo(const std::string& text) override { return questions.push_back(text), answerYes; }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
};

}  // namespace

TEST(FolderName, EdgeCharactersAndTheNineForbiddenOnes) {
    Strings bad = {"", " abc", "abc ", "\tabc", "abc\t", ".abc", "abc.", ".", "..", " "};
    for (char c : std::string("\"*/:<>?\\|")) bad.push_back(std::string("ab") + c + "cd");
    for (const std::string& name : bad) EXPECT_FALSE(IsValidFolderName(name.c_str())) << '[' << name << ']';
    EXPECT_FALSE(IsValidFolderName(nullptr));
    for (const char* good : {"a", "my folder", "v1.2", "a . b", "\x01x", "\xC4\xE3\xBA\xC3", "a\x7f", "a!#$%&'()+,;=@[]^_`{}~b"})
        EXPECT_TRUE(IsValidFolderName(good)) << '[' << good << ']';
}

TEST(FolderPath, SyntaxTable) {
    FakeFolders fs;
    // 259 characters is the most the picker's buffers hold; a longer path is
    // refused rather than cut.
    const std::string longest = "C:\\" + std::string(kMaxFolderPath - 3, 'x');
    for (const std::string& ok : Strings{"C:\\", "Q:\\" /* syntax only: a missing drive passes */, "C:\\abc\\def", "C:\\a b.c\\d", longest})
        EXPECT_EQ(CheckFolderPath(ok.c_str(), true, fs), kFolderOk) << ok;
    for (const std::string& bad : Strings{"", "C:", "1:\\abc", "C:/abc", "C:abc", "\\\\server\\share", "C:\\abc\\", "C:\\\\abc",
                                  "C:\\abc\\\\def", "C:\\abc \\def", "C:\\a*b", longest + "y"})
        EXPECT_EQ(CheckFolderPath(bad.c_str(), true, fs), kFolderInvalid) << bad;
    EXPECT_EQ(CheckFolderPath((longest + "y").c_str(), false, fs), kFolderInvalid);
    EXPECT_EQ(CheckFolderPath(nullptr, true, fs), kFolderInvalid);
    EXPECT_TRUE(fs.created.empty());
}

// What the user is asked and told for each kind of path, and what is made.
TEST(ValidateFolderTest, QuestionsMessagesAndCreatedLevels) {
    const char* const invalid = "is invalid. Please reenter.";
    const char* const uncreatable = "can not be created. Please double check.";
    const struct {  // message: the tail of the message shown, nullptr: none
        const char *path, *unwritable;
        bool answerYes, asked;
        int expected;
        const char* message;
        Strings created;
    } cases[] = {
        {"C:\\Data", "", true, false, kFolderOk, nullptr, {}},
        {"C:\\Data\\file.txt", "", true, false, kFolderOk, nullptr, {}},  // a file counts as existing
        {"C:\\", "", true, false, kFolderOk, nullptr, {}},
        {"C:\\new1\\new2", "", false, true, kFolderDeclined, nullptr, {}},
        {"C:\\new1\\new2", "", true, true, kFolderOk, nullptr, {"C:\\new1", "C:\\new1\\new2"}},
        {"", "", true, false, kFolderInvalid, invalid, {}},
        {"C:\\ok\\bad*", "", true, false, kFolderInvalid, invalid, {}},
        {"Q:\\", "", true, true, kFolderNotCreated, uncreatable, {}},
        {"C:\\a\\b\\c", "C:\\a\\b", true, true, kFolderNotCreated, uncreatable, {"C:\\a"}},
    };
    for (const auto& c : cases) {
        FakeFolders fs;
        fs.answerYes = c.answerYes, fs.unwritablePrefix = c.unwritable;
        const std::string folder = std::string("The folder:\n\n") + c.path + "\n\n";
        EXPECT_EQ(ValidateFolder(c.path, fs), c.expected) << c.path;
        EXPECT_EQ(std::tuple(fs.questions, fs.messages, fs.created),
                  std::tuple(c.asked ? Strings{folder + "does not exist. Do you want the folder to be created?"} : Strings{},
                             c.message ? Strings{folder + c.message} : Strings{}, c.created)) << c.path;
    }
}
