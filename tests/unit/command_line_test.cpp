#include <gtest/gtest.h>

#include "system/CommandLine.h"

TEST(QuoteProgramPath, QuotesTheWholePathAndRefusesWhatCannotBeQuoted) {
    char out[40];
    ASSERT_TRUE(QuoteProgramPath(out, sizeof out, "C:\\Program Files\\Tool\\run.exe"));
    EXPECT_STREQ(out, "\"C:\\Program Files\\Tool\\run.exe\"");
    // A quote inside would end the program name early.
    EXPECT_FALSE(QuoteProgramPath(out, sizeof out, "C:\\a\" b.exe"));
    EXPECT_STREQ(out, "");
    EXPECT_FALSE(QuoteProgramPath(out, sizeof out, ""));
    char small[8];  // 2 quotes + 5 characters + zero: refused one character longer, not cut
    EXPECT_TRUE(QuoteProgramPath(small, sizeof small, "a.exe"));
    EXPECT_STREQ(small, "\"a.exe\"");
    EXPECT_FALSE(QuoteProgramPath(small, sizeof small, "ab.exe"));
    EXPECT_STREQ(small, "");
}
