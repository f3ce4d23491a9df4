#include <gtest/gtest.h>

#include "wizard/PageRules.h"

// A huge Number in the configuration must not make the pages loop for ever.
TEST(PageRules, NumberedEntriesStopAt999) {
    for (auto [n, want] : {std::pair{-5, 0}, {0, 0}, {3, 3}, {999, 999}, {1000, 999}, {2147483647, 999}})
        EXPECT_EQ(NumberedEntryCount(n), want) << n;
}
