#include "core/Format.h"

#include <gtest/gtest.h>

#include <string>

TEST(FormatString, ProducesThePrintfText) {
    EXPECT_EQ(formatString("%s", ""), "");
    EXPECT_EQ(formatString("v%d.%d.%d\n", 1, 2, 3), "v1.2.3\n");
    EXPECT_EQ(formatString("100%%"), "100%");
    EXPECT_EQ(formatString("%s=%u, %c", "key", 7u, 'x'), "key=7, x");

    const std::string large(5000, 'k');
    EXPECT_EQ(formatString("%s", large.c_str()), large);
}

TEST(FormatString, UnusableFormatGivesEmptyText) {
    // Held in strings: the compiler rejects such formats when it can see them,
    // and clang warns of any format it cannot see; here that is the point.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-security"
    for (const std::string format : {"", "%"}) {
        EXPECT_EQ(formatString(format.c_str()), "") << '"' << format << '"';
    }
#pragma GCC diagnostic pop
    EXPECT_EQ(formatString(nullptr), "");
}
