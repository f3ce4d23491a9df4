// The folder picker's path rules and creation walk against a model of the
// file system that records what was created and what the user was asked.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "wizard/FolderRules.h"

namespace {

class FakeFolders : public FolderOps {
public:
    std::set<std::string> existing{"C:\\", "C:\\Data", "C:\\Data\\file.txt"};
    std::string unwritablePrefix;  // CreateDir under this prefix fails
    std::vector<std::string> created;
    std::vector<std::string> questions;
    std::vector<std::string> messages;
    bool answerYes = true;

    bool Exists(const char* path) override { return existing.count(path) != 0; }
    void CreateDir(const char* path) override {
        std::string p = path;
        if (existing.count(p)) return;
        if (!unwritablePrefix.empty() && p.compare(0, unwritablePrefix.size(), unwritablePrefix) == 0) return;
        // one level only: the parent must exist
        size_t slash = p.find_last_of('\\');
        std::string parent = slash == 2 ? p.substr(0, 3) : p.substr(0, slash);
        if (!existing.count(parent)) return;
        existing.insert(p);
        created.push_back(p);
    }
    bool AskYesNo(const std::string& text) override {
        questions.push_back(text);
        return answerYes;
    }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
};

}  // namespace

TEST(FolderName, EdgeCharactersAndTheNineForbiddenOnes) {
    std::vector<std::string> bad = {"", " abc", "abc ", "\tabc", "abc\t", ".abc", "abc.", ".", "..", " "};
    for (char c : std::string("\"*/:<>?\\|")) bad.push_back(std::string("ab") + c + "cd");
    for (const std::string& name : bad) EXPECT_FALSE(IsValidFolderName(name.c_str())) << '[' << name << ']';
    EXPECT_FALSE(IsValidFolderName(nullptr));
    for (const char* good : {"a", "my folder", "v1.2", "a . b", "\x01x", "\xC4\xE3\xBA\xC3", "a\x7f",
                             "a!#$%&'()+,;=@[]^_`{}~b"})
        EXPECT_TRUE(IsValidFolderName(good)) << '[' << good << ']';
}

TEST(FolderPath, SyntaxTable) {
    FakeFolders fs;
    struct Case {
        const char* path;
        int expected;
    } cases[] = {
        {"", kFolderInvalid},        {"C:", kFolderInvalid},           {"C:\\", kFolderOk},
        {"Q:\\", kFolderOk},  // syntax only: a missing drive passes
        {"1:\\abc", kFolderInvalid}, {"C:/abc", kFolderInvalid},        {"C:abc", kFolderInvalid},
        {"\\\\server\\share", kFolderInvalid}, {"C:\\abc\\def", kFolderOk}, {"C:\\abc\\", kFolderInvalid},
        {"C:\\\\abc", kFolderInvalid}, {"C:\\abc\\\\def", kFolderInvalid}, {"C:\\abc \\def", kFolderInvalid},
        {"C:\\a b.c\\d", kFolderOk}, {"C:\\a*b", kFolderInvalid},
    };
    for (const Case& c : cases) EXPECT_EQ(CheckFolderPath(c.path, true, fs), c.expected) << c.path;
    EXPECT_EQ(CheckFolderPath(nullptr, true, fs), kFolderInvalid);
    EXPECT_TRUE(fs.created.empty());

    // 259 characters is the most the picker's buffers hold; a longer path is
    // refused rather than cut.
    std::string longest = "C:\\" + std::string(kMaxFolderPath - 3, 'x');
    EXPECT_EQ(CheckFolderPath(longest.c_str(), true, fs), kFolderOk);
    std::string tooLong = longest + "y";
    EXPECT_EQ(CheckFolderPath(tooLong.c_str(), true, fs), kFolderInvalid);
    EXPECT_EQ(CheckFolderPath(tooLong.c_str(), false, fs), kFolderInvalid);
    EXPECT_TRUE(fs.created.empty());
}

TEST(FolderPath, CreationWalkMakesOnlyTheMissingLevelsInOrder) {
    FakeFolders fs;
    EXPECT_EQ(CheckFolderPath("C:\\new1\\new2\\new3", false, fs), kFolderOk);
    EXPECT_EQ(fs.created, (std::vector<std::string>{"C:\\new1", "C:\\new1\\new2", "C:\\new1\\new2\\new3"}));
    fs.created.clear();
    EXPECT_EQ(CheckFolderPath("C:\\Data\\sub", false, fs), kFolderOk);
    EXPECT_EQ(fs.created, std::vector<std::string>{"C:\\Data\\sub"});
    // An invalid name after valid ones: the levels before it are made by the
    // creating walk, which is why the picker always checks the syntax first.
    fs.created.clear();
    EXPECT_EQ(CheckFolderPath("C:\\ok\\bad*", false, fs), kFolderInvalid);
    EXPECT_EQ(fs.created, std::vector<std::string>{"C:\\ok"});
}

// What the user is asked and told for each kind of path, and what is made.
TEST(ValidateFolderTest, QuestionsMessagesAndCreatedLevels) {
    const char* const invalid = "is invalid. Please reenter.";
    const char* const uncreatable = "can not be created. Please double check.";
    struct Case {
        const char* path;
        bool answerYes;
        const char* unwritable;
        int expected;
        bool asked;
        const char* message;  // the tail of the message shown, nullptr: none
        std::vector<std::string> created;
    } cases[] = {
        {"C:\\Data", true, "", kFolderOk, false, nullptr, {}},
        {"C:\\Data\\file.txt", true, "", kFolderOk, false, nullptr, {}},  // a file counts as existing
        {"C:\\", true, "", kFolderOk, false, nullptr, {}},
        {"C:\\new1\\new2", false, "", kFolderDeclined, true, nullptr, {}},
        {"C:\\new1\\new2", true, "", kFolderOk, true, nullptr, {"C:\\new1", "C:\\new1\\new2"}},
        {"", true, "", kFolderInvalid, false, invalid, {}},
        {"C:\\ok\\bad*", true, "", kFolderInvalid, false, invalid, {}},
        {"Q:\\", true, "", kFolderNotCreated, true, uncreatable, {}},
        {"C:\\a\\b\\c", true, "C:\\a\\b", kFolderNotCreated, true, uncreatable, {"C:\\a"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        FakeFolders fs;
        fs.answerYes = c.answerYes;
        fs.unwritablePrefix = c.unwritable;
        EXPECT_EQ(ValidateFolder(c.path, fs), c.expected);
        if (c.asked) {
            EXPECT_EQ(fs.questions, std::vector<std::string>{std::string("The folder:\n\n") + c.path +
                                                             "\n\ndoes not exist. Do you want the folder to be created?"});
        } else {
            EXPECT_TRUE(fs.questions.empty());
        }
        if (c.message) {
            EXPECT_EQ(fs.messages, std::vector<std::string>{std::string("The folder:\n\n") + c.path + "\n\n" + c.message});
        } else {
            EXPECT_TRUE(fs.messages.empty());
        }
        EXPECT_EQ(fs.created, c.created);
    }
}
