// Name forms and the CMap suffix list.
#include "fontstubs/StubNames.h"
#include "fontstubs/CMapSuffixes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

using namespace BRASK::PLUGIN;

TEST(StubNames, ArialAliasesTestOnlyThePrefix) {
    EXPECT_STREQ(GetArialAlias("ArialMT"), "Arial");
    EXPECT_STREQ(GetArialAlias("Arial-BoldMT"), "Arial,Bold");
    EXPECT_STREQ(GetArialAlias("Arial-BoldItalicMT"), "Arial,BoldItalic");
    EXPECT_STREQ(GetArialAlias("Arial-ItalicMT"), "Arial,Italic");
    EXPECT_STREQ(GetArialAlias("Arial-BoldMTExtra"), "Arial,Bold");
    EXPECT_EQ(GetArialAlias("Arial"), nullptr);
    EXPECT_EQ(GetArialAlias("Arial-Bold"), nullptr);
    EXPECT_EQ(GetArialAlias(nullptr), nullptr);
}

TEST(StubNames, UnsafeCharactersBecomeHyphens) {
    EXPECT_EQ(MakePostScriptSafe("Foo Bar"), "Foo-Bar");
    EXPECT_EQ(MakePostScriptSafe("a%b(c)d/e<f>g[h]i{j}k"), "a-b-c-d-e-f-g-h-i-j-k");
    EXPECT_EQ(MakePostScriptSafe("Caf\xC3\xA9\x7F!~"), "Caf---!~");
    EXPECT_EQ(MakePostScriptSafe("Name,With.Punct"), "Name,With.Punct");
}

TEST(StubNames, CommaAndJoinedForms) {
    bool changed = true;
    EXPECT_EQ(CommaForm("Arial-BoldMT", changed), "Arial,BoldMT");
    EXPECT_TRUE(changed);
    EXPECT_EQ(CommaForm("Plain", changed), "Plain");
    EXPECT_FALSE(changed);
    EXPECT_EQ(JoinedForm("Arial,BoldMT", changed), "ArialBoldMT");
    EXPECT_TRUE(changed);
    EXPECT_EQ(JoinedForm("Plain", changed), "Plain");
    EXPECT_FALSE(changed);
    // Of two adjacent commas the second stays.
    EXPECT_EQ(JoinedForm("A,,B", changed), "A,B");
    EXPECT_EQ(JoinedForm(",,,", changed), ",");
    EXPECT_EQ(JoinedForm("a,b,c", changed), "abc");
}

TEST(CMapSuffixes, NinetyOneDistinctEntriesLongerOnesFirst) {
    std::set<std::string> unique;
    for (const char* suffix : kCMapSuffixes) {
        ASSERT_NE(suffix, nullptr);
        EXPECT_EQ(suffix[0], '-');
        unique.insert(suffix);
    }
    EXPECT_EQ(unique.size(), 91u);
    EXPECT_STREQ(kCMapSuffixes.front(), "-83pv-RKSJ-H");
    EXPECT_STREQ(kCMapSuffixes.back(), "-WP-Symbol");
    EXPECT_STREQ(FindCMapSuffix("Ryumin-Light-90ms-RKSJ-H"), "-90ms-RKSJ-H");
    EXPECT_STREQ(FindCMapSuffix("Ryumin-Light-78-EUC-H"), "-78-EUC-H");
    EXPECT_STREQ(FindCMapSuffix("Foo-RKSJ-H"), "-RKSJ-H");
    EXPECT_STREQ(FindCMapSuffix("Foo-Identity-H-Extra"), "-Identity-H");
    EXPECT_EQ(FindCMapSuffix("Ryumin-Light"), nullptr);
    // A later entry found earlier in the name loses to an earlier entry of the list.
    EXPECT_STREQ(FindCMapSuffix("X-Roman-83pv-RKSJ-H"), "-83pv-RKSJ-H");
}
