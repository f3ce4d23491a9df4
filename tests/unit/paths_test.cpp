#include <gtest/gtest.h>

#include "common/TestFiles.h"
#include "config/Paths.h"
#include "config/SetupState.h"

TEST(JoinPath, RefusesWhatDoesNotFitInsteadOfCutting) {
    char out[8];
    EXPECT_TRUE(JoinPath(out, sizeof out, {"ab", "\\", "cdef"}));  // 7 chars + NUL
    EXPECT_STREQ(out, "ab\\cdef");
    EXPECT_FALSE(JoinPath(out, sizeof out, {"ab", "\\", "cdefg"}));
    EXPECT_STREQ(out, "");
}

// tests/data/names/relative.txt: each name with the fault found in it.
TEST(CheckRelativeName, RefusesNamesThatLeaveTheFolderOrNameADevice) {
    const char* const faults[] = {"none", "empty", "absolute", "colon", "parent", "emptyComponent", "trailingDot", "device"};
    for (const auto& row : testfs::DataRows("names/relative.txt")) {
        const char* fault = faults[static_cast<int>(CheckRelativeName(row.at(0).c_str()))];
        EXPECT_EQ(fault, row.at(1)) << row[0];
        EXPECT_EQ(IsSafeRelativeName(row[0].c_str()), row[1] == "none") << row[0];
    }
}

TEST(FormatIndexedName, NumberAfterPrefixCutToTheBuffer) {
    char out[8];
    for (auto [size, prefix, n, want] : {std::tuple{8u, "File", 12, "File12"}, {8u, "Disk", -2147483647 - 1, "Disk-21"},
                                         {4u, "Descrip", 0, "Des"}, {1u, "", 7, ""}}) {
        FormatIndexedName(out, size, prefix, n);
        EXPECT_STREQ(out, want);
    }
}
