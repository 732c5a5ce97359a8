// Formatting into fixed buffers: always terminated, and a cut result reports the size.
#include "support/bounded_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tier0_testing.h"

TEST(BoundedFormat, OutputOfSizeCharactersOrMoreIsCutToSizeMinusOneAndReportsTheSize) {
    char buffer[40];
    std::memset(buffer, 'z', sizeof(buffer));
    EXPECT_EQ(BoundedFormat(buffer, 32, "%s", "0123456789012345678901234567890"), 31);
    EXPECT_EQ(BoundedFormat(buffer, 32, "%s", "01234567890123456789012345678901"), 32);
    EXPECT_STREQ(buffer, "0123456789012345678901234567890");
    EXPECT_EQ(buffer[32], 'z') << "nothing written past size";
    // Neither the whole length (38) nor what was kept (31).
    EXPECT_EQ(BoundedFormat(buffer, 32, "%f", static_cast<double>(1e30f)), 32);
    EXPECT_STREQ(buffer, "1000000015047466219876688855040");
    EXPECT_EQ(buffer[32], 'z');

    EXPECT_EQ(BoundedFormat(buffer, 1, "%s", ""), 0);
    EXPECT_EQ(BoundedFormat(buffer, 1, "%d", 7), 1);
    EXPECT_STREQ(buffer, "");
}

TEST(BoundedFormat, ShowsBufferAndFormatToTheEnginesChecksAndRefusesNoBuffer) {
    char buffer[8];
    const int before = Tier0Test_ValidityCheckCalls();
    BoundedFormat(buffer, 8, "%d", 1);
    EXPECT_EQ(Tier0Test_ValidityCheckCalls() - before, 2);

    EXPECT_EQ(BoundedFormat(nullptr, 8, "%d", 1), 0);
    std::memset(buffer, 'z', sizeof(buffer));
    EXPECT_EQ(BoundedFormat(buffer + 1, 0, "%d", 1), 0);
    EXPECT_EQ(std::string(buffer, 2), "zz") << "nothing written, not even before the buffer";
}
