#include "util/TextUtils.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace kadrel {
namespace {

TEST(TextUtils, SubStr) {
    struct Case {
        std::string s;
        int first, last;
        std::string expected;
    };
    const Case cases[] = {
        {"abc", 2, 3, "bc"}, {"abc", 2, 4, ""}, // Last beyond the end gives nothing, not the rest
        {"abc", 0, 2, ""},   {"abc", 3, 2, ""},  {"", 1, 1, ""},    {"abc", 1, 1, "a"},
        {"abc", 3, 3, "c"},  {"abc", 4, 4, ""},  {"abc", 2, 1, ""}, // count 0
        {"abc", -5, 2, ""},  {"abc", 1, -1, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SubStr(c.s, c.first, c.last), c.expected)
            << c.s << " " << c.first << " " << c.last;
}

TEST(TextUtils, TrimSep) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},     {" ", ""},           {"   ", ""}, {"a", "a"},
        {" a ", "a"}, {"  a  b ", "a  b"}, {"a ", "a"}, {" a", "a"},
        {"ab", "ab"}, {"\ta\t", "\ta\t"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(TrimSep(in), out) << '"' << in << '"';
}

TEST(TextUtils, WordCount) {
    const std::pair<std::string, int> cases[] = {
        {"", 0}, {"   ", 0}, {"000 - Piano 1", 4}, {"  x   y ", 2}, {"x", 1}, {"008 - Celesta ", 3},
    };
    for (const auto& [in, n] : cases)
        EXPECT_EQ(WordCount(in), n) << '"' << in << '"';
}

TEST(TextUtils, NthWord) {
    struct Case {
        int n;
        std::string s, expected;
    };
    const Case cases[] = {
        {1, "000 - Piano 1", "000"},
        {2, "000 - Piano 1", "-"},
        {3, "000 - Piano 1", "Piano"},
        {4, "000 - Piano 1", "1"},
        {5, "000 - Piano 1", ""},
        {0, "abc", ""},
        {-1, "abc", ""},
        {1, "  lead  trail  ", "lead"},
        {2, "  lead  trail  ", "trail"},
        {1, "008 - Celesta ", "008"},
        {3, "008 - Celesta ", "Celesta"},
        {1, "", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NthWord(c.n, c.s), c.expected) << c.n << " \"" << c.s << '"';
}

TEST(TextUtils, ReplaceAll) {
    struct Case {
        std::string s, find, repl, expected;
    };
    const Case cases[] = {
        {"a-b-c", "-", "", "abc"},
        {"abc", "", "x", "abc"},
        {"aaa", "aa", "b", "ba"},
        // every pass starts again from the beginning, so a replacement can complete a new match
        {"aab", "ab", "b", "b"},
        {"hello", "l", "L", "heLLo"},
        {"", "a", "b", ""},
        // a replacement holding the text searched for must still come to an end
        {"aXa", "a", "aa", "aaXaa"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReplaceAll(c.s, c.find, c.repl), c.expected)
            << c.s << " / " << c.find << " / " << c.repl;
}

TEST(TextUtils, IntegerPower) {
    EXPECT_EQ(IntegerPower(2, 3), 8);
    EXPECT_EQ(IntegerPower(2, 0), 1);
    EXPECT_EQ(IntegerPower(2, -1), 0.5);
    EXPECT_EQ(IntegerPower(0, 0), 1);
    EXPECT_EQ(IntegerPower(3, 5), 243);
    EXPECT_EQ(IntegerPower(-2, 3), -8);
    EXPECT_EQ(IntegerPower(2, 62), 4611686018427387904.0L);
    EXPECT_EQ(IntegerPower(10, -2), 1.0L / 100);
    EXPECT_EQ(IntegerPower(1, INT32_MIN), 1);
}

TEST(TextUtils, ProgramFolderIsTheExecutablesFolderWithATrailingSlash) {
    const std::string folder = ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.front(), '/');
    EXPECT_EQ(folder.back(), '/');
    char exe[4096] = {};
    ASSERT_GT(::readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
    const std::string path(exe);
    EXPECT_EQ(path.substr(0, folder.size()), folder);
    EXPECT_EQ(path.find('/', folder.size()), std::string::npos)
        << "only the file name follows the folder";
}

} // namespace
} // namespace kadrel
