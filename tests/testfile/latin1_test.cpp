#include "testfile/latin1.h"

#include <gtest/gtest.h>

namespace {

TEST(Latin1, ToUtf8AndBack)
{
    const struct {
        std::string latin1;
        std::string utf8;
    } cases[] = {
        {"PLAIN 123", "PLAIN 123"},
        {"\xC9LECTRICIT\xC9", "\xC3\x89LECTRICIT\xC3\x89"},
        {"\xA0\xFF", "\xC2\xA0\xC3\xBF"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Latin1ToUtf8(c.latin1), c.utf8);
        EXPECT_EQ(Utf8ToLatin1(c.utf8), c.latin1);
    }
}

TEST(Latin1, WhatLatin1CannotHoldBecomesAQuestionMark)
{
    const struct {
        std::string utf8;
        std::string latin1;
    } cases[] = {
        {"\xE2\x82\xAC" "5", "?5"},           // euro sign
        {"\xF0\x9F\x94\x8C", "?"},            // a four-byte character
        {"A\xFF" "B", "A?B"},                 // not UTF-8
        {"\xC3", "?"},                        // cut sequence
        {"\xC3" "A", "?A"},                   // lead without continuation
        {"\xC0\x80", "??"},                   // over-long encoding
    };
    for (const auto& c : cases) EXPECT_EQ(Utf8ToLatin1(c.utf8), c.latin1) << c.utf8;
}

}  // namespace
