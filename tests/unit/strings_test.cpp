#include "platform/strings.h"

#include <gtest/gtest.h>

namespace {

TEST(StringsTest, InstrCountsFromOne) {
    struct Case {
        const char* text;
        const char* pattern;
        int start;
        int expected;
    };
    const Case cases[] = {
        {"textures\\wood.png", "\\", 1, 9},
        {"a\\b/c.png", "/", 1, 4},
        {"a\\b/c.png", "\\", 3, 0}, // searching from after the only backslash
        {"abcabc", "bc", 3, 5},
        {"abc", "abcd", 1, 0},
        {"tree_alpha.png", "_alpha", 1, 5},
        {"", "", 1, 1}, // an empty pattern is found at the start, even in ""
        {"x.png", "", 1, 1},
        {"abc", "", 4, 4},
        {"abc", "", 5, 0},
        {"abc", "a", 0, 1}, // a start below 1 counts as 1
        {"abc", "a", -7, 1},
        {"", "x", 1, 0},
        {"D:\\tex\\x.png", ":", 1, 2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Instr(c.text, c.pattern, c.start), c.expected)
            << '"' << c.text << "\" / \"" << c.pattern << "\" from " << c.start;
    }
}

TEST(StringsTest, LeftRightMidClampToTheText) {
    EXPECT_EQ(Left("models\\ship.b3d", 6), "models");
    EXPECT_EQ(Left("abc", 10), "abc");
    EXPECT_EQ(Left("abc", 0), "");
    EXPECT_EQ(Left("abc", -2), "");
    EXPECT_EQ(Right("textures\\wood.png", 17 - 9), "wood.png");
    EXPECT_EQ(Right("abc", 5), "abc");
    EXPECT_EQ(Right("abc", -1), "");
    EXPECT_EQ(Mid("abcdef", 2, 3), "bcd");
    EXPECT_EQ(Mid("abcdef", 4), "def");
    EXPECT_EQ(Mid("abcdef", 5, 10), "ef");
    EXPECT_EQ(Mid("abcdef", 7), "");
    EXPECT_EQ(Mid("abcdef", 0, 2), "a"); // position 0 eats one of the two characters
    EXPECT_EQ(Mid("abcdef", -3, 2), "");
}

TEST(StringsTest, ReplaceEveryOccurrenceOnce) {
    EXPECT_EQ(Replace("D:\\tex\\x.png", "\\", "/"), "D:/tex/x.png");
    EXPECT_EQ(Replace("a.3ds.3ds", ".3ds", ".b3d"), "a.b3d.b3d");
    EXPECT_EQ(Replace("aaa", "a", "aa"), "aaaaaa"); // replacements are not searched again
    EXPECT_EQ(Replace("abc", "", "x"), "abc");
    EXPECT_EQ(Replace("abcabc", "bc", ""), "aa");
    EXPECT_EQ(Replace("", "a", "b"), "");
}

} // namespace
