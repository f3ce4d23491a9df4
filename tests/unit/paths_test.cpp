#include <gtest/gtest.h>

#include "config/Paths.h"
#include "config/SetupState.h"

TEST(JoinPath, RefusesWhatDoesNotFitInsteadOfCutting) {
    char out[8];
    EXPECT_TRUE(JoinPath(out, sizeof out, {"ab", "\\", "cdef"}));  // 7 chars + NUL
    EXPECT_STREQ(out, "ab\\cdef");
    EXPECT_FALSE(JoinPath(out, sizeof out, {"ab", "\\", "cdefg"}));
    EXPECT_STREQ(out, "");
}

TEST(CheckRelativeName, RefusesNamesThatLeaveTheFolderOrNameADevice) {
    using F = NameFault;
    const struct {
        const char* name;
        NameFault fault;
    } cases[] = {
        {"", F::empty},
        {"/etc/passwd", F::absolute}, {"\\x", F::absolute}, {"\\\\server\\share\\x", F::absolute},
        {"C:\\x", F::colon}, {"c:x", F::colon}, {"readme.txt:hidden", F::colon}, {"a\\b:$DATA", F::colon},
        {"..", F::parent}, {"../x", F::parent}, {"a\\..\\..\\x", F::parent}, {"a/..", F::parent},
        {"a\\\\b", F::emptyComponent}, {"a//b", F::emptyComponent},
        {"a.", F::trailingDot}, {"a..", F::trailingDot}, {"...", F::trailingDot}, {"bin \\x", F::trailingDot},
        {"x\\c..", F::trailingDot}, {"nul.", F::trailingDot},
        {"NUL", F::device}, {"nul.txt", F::device}, {"CON", F::device}, {"con.tar.gz", F::device},
        {"Aux", F::device}, {"prn.log", F::device}, {"sub\\Com1.log", F::device}, {"COM9", F::device},
        {"lpt1", F::device}, {"LPT9.dat\\x", F::device}, {"com0", F::device}, {"nul .txt", F::device},
        {"clock$", F::device}, {"CONIN$", F::device}, {"conout$.x", F::device}, {"com\xB9", F::device},
        {"a", F::none}, {"bin\\prog.exe", F::none}, {"a/b/c", F::none}, {"..a", F::none},
        {"a\\.b\\c", F::none}, {".", F::none}, {"a\\.\\b", F::none}, {"bin\\", F::none},
        {"console", F::none}, {"nul_", F::none}, {"com10", F::none}, {"lpt", F::none}, {"auxiliary.txt", F::none},
        {"com1x.txt", F::none}, {"my con.txt", F::none}, {"bin\\.dll", F::none}, {".lnk", F::none},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CheckRelativeName(c.name), c.fault) << c.name;
        EXPECT_EQ(IsSafeRelativeName(c.name), c.fault == F::none) << c.name;
    }
}

TEST(FormatIndexedName, NumberAfterPrefixCutToTheBuffer) {
    char out[8];
    for (auto [size, prefix, n, want] : {std::tuple{8u, "File", 12, "File12"}, {8u, "Disk", -2147483647 - 1, "Disk-21"},
                                         {4u, "Descrip", 0, "Des"}, {1u, "", 7, ""}})
        EXPECT_STREQ((FormatIndexedName(out, size, prefix, n), out), want);
}
