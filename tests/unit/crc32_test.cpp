#include <gtest/gtest.h>
#include <zlib.h>

#include <vector>

#include "engine/Crc32.h"

// The fast CRC must be zlib's function for every length, alignment and
// running value, across the boundaries of its 16- and 64-byte steps.
TEST(Crc32, SameAsZlibForEveryLengthAndOffset) {
    std::vector<unsigned char> data(70000);
    uint32_t x = 1;
    for (unsigned char& b : data) b = static_cast<unsigned char>((x = x * 1103515245u + 12345u) >> 23);
    for (size_t offset = 0; offset < 16; offset += 3)
        for (size_t len = 0; len < 400; ++len)
            ASSERT_EQ(Crc32Update(0x12345678, data.data() + offset, len),
                      static_cast<uint32_t>(crc32(0x12345678, data.data() + offset, static_cast<uInt>(len)))) << offset << " " << len;
    uint32_t whole = static_cast<uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size())));
    EXPECT_EQ(Crc32Update(0, data.data(), data.size()), whole);
}
