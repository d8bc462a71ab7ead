// Name forms and the CMap suffix list.
#include "StubNames.h"
#include "CMapSuffixes.h"

#include <gtest/gtest.h>

#include <string>

using namespace BRASK::PLUGIN;

TEST(StubNames, ArialAliasesSafeNamesAndJoinedForms) {
    // Only the prefix is tested.
    const std::pair<const char*, const char*> aliases[] = {{"ArialMT", "Arial"},
                                                           {"Arial-BoldMT", "Arial,Bold"},
                                                           {"Arial-BoldItalicMT", "Arial,BoldItalic"},
                                                           {"Arial-ItalicMT", "Arial,Italic"},
                                                           {"Arial-BoldMTExtra", "Arial,Bold"},
                                                           {"Arial", nullptr},
                                                           {"Arial-Bold", nullptr},
                                                           {nullptr, nullptr}};
    for (const auto& [name, alias] : aliases)
        EXPECT_STREQ(GetArialAlias(name), alias) << (name ? name : "null");

    EXPECT_EQ(MakePostScriptSafe("a%b(c)d/e<f>g[h]i{j}k l"), "a-b-c-d-e-f-g-h-i-j-k-l");
    EXPECT_EQ(MakePostScriptSafe("Caf\xC3\xA9\x7F!~,."), "Caf---!~,.");

    bool changed = false;
    // Of two adjacent commas the second stays.
    for (const auto& [name, joined] : {std::pair{"a,b,c", "abc"}, {"A,,B", "A,B"}, {",,,", ","}}) {
        EXPECT_EQ(JoinedForm(name, changed), joined);
        EXPECT_TRUE(changed);
    }
}

TEST(CMapSuffixes, TheFirstOfTheListWins) {
    const std::pair<const char*, const char*> cases[] = {{"Ryumin-Light-90ms-RKSJ-H", "-90ms-RKSJ-H"},
                                                         {"Ryumin-Light-78-EUC-H", "-78-EUC-H"},
                                                         {"Foo-RKSJ-H", "-RKSJ-H"},
                                                         {"Foo-Identity-H-Extra", "-Identity-H"},
                                                         {"X-Roman-83pv-RKSJ-H", "-83pv-RKSJ-H"},
                                                         {"Ryumin-Light", nullptr}};
    for (const auto& [name, suffix] : cases)
        EXPECT_STREQ(FindCMapSuffix(name), suffix) << name;
}
