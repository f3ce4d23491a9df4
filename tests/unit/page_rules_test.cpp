#include <gtest/gtest.h>

#include "wizard/PageRules.h"

TEST(PageRules, DestinationSentenceNamesTheProgram) {
    EXPECT_EQ(DestinationSentence("Demo Writer"), "Setup will install Demo Writer in the following folder.");
    EXPECT_EQ(DestinationSentence(""), "Setup will install the program in the following folder.");
    EXPECT_EQ(DestinationSentence(nullptr), "Setup will install the program in the following folder.");
}

TEST(PageRules, ChineseEntryTrimmedAndCaseFolded) {
    for (const char* yes : {"Chinese", "CHINESE", "chinese", "  chinese ", "\tChInEsE\r\n"})
        EXPECT_TRUE(IsChineseEntry(yes)) << yes;
    for (const char* no : std::initializer_list<const char*>{"", "English", "Chinese (Traditional)", "Chinese2", "chin ese", "Chinesee",
                           "\xD6\xD0\xCE\xC4", nullptr})
        EXPECT_FALSE(IsChineseEntry(no));
}

TEST(PageRules, LineFeedsBecomeCrLfAndStringsJoinWithoutSeparator) {
    std::wstring out;
    const std::wstring a = L"one\ntwo\n\n";
    const std::wstring b = L"three";
    const std::wstring c = L"\nfour";
    AppendWithCrLf(out, a.data(), a.size());
    AppendWithCrLf(out, b.data(), b.size());
    AppendWithCrLf(out, c.data(), c.size());
    EXPECT_EQ(out, L"one\r\ntwo\r\n\r\nthree\r\nfour");
    std::wstring cjk;
    const std::wstring z = L"\x4e2d\x6587\n\x0a";
    AppendWithCrLf(cjk, z.data(), z.size());
    EXPECT_EQ(cjk, L"\x4e2d\x6587\r\n\r\n");
}

TEST(PageRules, NumberedEntriesStopAt999) {
    EXPECT_EQ(NumberedEntryCount(-5), 0);
    EXPECT_EQ(NumberedEntryCount(0), 0);
    EXPECT_EQ(NumberedEntryCount(3), 3);
    EXPECT_EQ(NumberedEntryCount(999), 999);
    EXPECT_EQ(NumberedEntryCount(1000), 999);
    EXPECT_EQ(NumberedEntryCount(2147483647), 999);
}
