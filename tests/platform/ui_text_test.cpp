#include "platform/ui_text.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tressel {
namespace {

TEST(FillPlaces, FillsEachPlaceOnceAndLeavesTheRest) {
    const struct {
        const char* pattern;
        std::vector<std::string> values;
        const char* filled;
    } cases[] = {
        {"%1 Error(s), %2 Renamed", {"1", "4"}, "1 Error(s), 4 Renamed"},
        {"%2 before %1", {"a", "b"}, "b before a"},
        {"%1 and %1", {"x"}, "x and x"},
        {"%1 of %2", {"50%2"}, "50%2 of %2"}, // a value is never searched again
        {"100% sure, %", {}, "100% sure, %"},
        {"%0 %a %", {"v"}, "%0 %a %"},
        {"", {"unused"}, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FillPlaces(c.pattern, c.values), c.filled) << c.pattern;
}

TEST(UiText, EnglishNestsPatternsAndKeepsPlainTextsAsTheyAre) {
    const UiText subject =
        UI_TEXT("Test", "remove (%1)").arg(UI_TEXT("Test", "%1 dups Removed").arg(5));
    const UiText line = UI_TEXT("Test", "%1 error(s) ocurred while %2").arg(2).arg(subject);
    EXPECT_EQ(line.english(), "2 error(s) ocurred while remove (5 dups Removed)");
    EXPECT_TRUE(line.translatable());
    EXPECT_STREQ(line.pattern().context, "Test");
    ASSERT_EQ(line.values().size(), 2u);
    EXPECT_FALSE(line.values()[0].translatable());

    const UiText plain = std::string("a%1b");
    EXPECT_FALSE(plain.translatable());
    EXPECT_EQ(plain.arg("ignored").english(), "a%1b") << "a plain text has no places";
    EXPECT_TRUE(UiText().empty());
    EXPECT_FALSE(UI_TEXT("Test", "").empty());

    std::ostringstream out;
    out << ThenSentence(line, "why");
    EXPECT_EQ(out.str(), "2 error(s) ocurred while remove (5 dups Removed). why");
}

} // namespace
} // namespace tressel
