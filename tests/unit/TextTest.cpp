#include "core/Text.h"

#include <gtest/gtest.h>

#include <string>

TEST(Text, NarrowsToUtf8UpToTheFirstNul) {
    EXPECT_EQ(toNarrow(L""), "");
    EXPECT_EQ(toNarrow(L"C:\\Temp"), "C:\\Temp");
    EXPECT_EQ(toNarrow(std::wstring(L"ab\0cd", 5)), "ab");
    EXPECT_EQ(toNarrow(L"\u00e9\u00e8\u00fc"), "\xC3\xA9\xC3\xA8\xC3\xBC");
    EXPECT_EQ(toNarrow(L"\u65e5\U0001F600"), "\xE6\x97\xA5\xF0\x9F\x98\x80");
    // A surrogate without its partner cannot be encoded and becomes U+FFFD.
    EXPECT_EQ(toNarrow(std::wstring(1, wchar_t(0xD800))), "\xEF\xBF\xBD");
    EXPECT_EQ(toNarrow(std::wstring{L'x', wchar_t(0xDC00), L'y'}), "x\xEF\xBF\xBDy");
}

TEST(Text, WidensUtf8KeepingEveryCharacter) {
    EXPECT_EQ(toWide(""), L"");
    EXPECT_EQ(toWide("C:\\Pr\xC3\xB3gramm\xC3\xA9\\\xE6\x97\xA5\xE6\x9C\xAC"),
              L"C:\\Pr\u00f3gramm\u00e9\\\u65e5\u672c");
    EXPECT_EQ(toWide(std::string("a\0b", 3)), std::wstring(L"a\0b", 3));
}
