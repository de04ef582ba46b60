#include "sweep/output.h"

#include <gtest/gtest.h>

#include <string>

TEST(GermanText, UmlautsBecomeCodePage850Bytes)
{
    const GermanText text = "äöüÄÜß Löschen"_de;
    EXPECT_EQ(std::string(text.cp850), "\x84\x94\x81\x8E\x9A\xE1 L\x94schen");
    EXPECT_EQ(std::string(text.utf8), "äöüÄÜß Löschen");
}

TEST(GermanText, AsciiPassesUnchanged)
{
    const GermanText text = "e:\\logs\\*.log \t%d\n"_de;
    EXPECT_EQ(std::string(text.cp850), "e:\\logs\\*.log \t%d\n");
}

TEST(GermanText, OutputEncodingFollowsTheConsoleChoice)
{
    const GermanText text = "gelöscht"_de;
    EXPECT_EQ(std::string(textIn(text, true)), "gelöscht");
    EXPECT_EQ(std::string(textIn(text, false)), "gel\x94scht");
}
