#include <gtest/gtest.h>

#include "wizard/PageRules.h"

TEST(PageRules, ChineseEntryTrimmedAndCaseFolded) {
    for (const char* yes : {"Chinese", "CHINESE", "chinese", "  chinese ", "\tChInEsE\r\n"})
        EXPECT_TRUE(IsChineseEntry(yes)) << yes;
    for (const char* no : std::initializer_list<const char*>{"", "English", "Chinese (Traditional)", "Chinese2", "chin ese", "Chinesee",
                           "\xD6\xD0\xCE\xC4", nullptr})
        EXPECT_FALSE(IsChineseEntry(no));
}

TEST(PageRules, LineFeedsBecomeCrLfAndStringsJoinWithoutSeparator) {
    std::wstring out;
    for (const std::wstring part : {L"one\ntwo\n\n", L"three", L"\nfour\x4e2d\x6587\n"})
        AppendWithCrLf(out, part.data(), part.size());
    EXPECT_EQ(out, L"one\r\ntwo\r\n\r\nthree\r\nfour\x4e2d\x6587\r\n");
}

TEST(PageRules, NumberedEntriesStopAt999) {
    for (auto [n, want] : {std::pair{-5, 0}, {0, 0}, {3, 3}, {999, 999}, {1000, 999}, {2147483647, 999}})
        EXPECT_EQ(NumberedEntryCount(n), want) << n;
}
