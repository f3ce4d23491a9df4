#include <gtest/gtest.h>

#include "app/Paths.h"

TEST(JoinPath, RefusesWhatDoesNotFitInsteadOfCutting) {
    char out[8];
    EXPECT_TRUE(JoinPath(out, sizeof out, {"ab", "\\", "cdef"}));  // 7 chars + NUL
    EXPECT_STREQ(out, "ab\\cdef");
    EXPECT_FALSE(JoinPath(out, sizeof out, {"ab", "\\", "cdefg"}));
    EXPECT_STREQ(out, "");
}

TEST(IsSafeRelativeName, RefusesNamesThatLeaveTheFolder) {
    for (const char* bad : {"", "/etc/passwd", "\\x", "C:\\x", "c:x", "..", "../x", "a\\..\\..\\x", "a/.."})
        EXPECT_FALSE(IsSafeRelativeName(bad)) << bad;
    for (const char* good : {"a", "bin\\prog.exe", "a/b/c", "..a", "a..", "a\\.b\\c.."})
        EXPECT_TRUE(IsSafeRelativeName(good)) << good;
}
