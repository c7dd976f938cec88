// The one markup escape the track files and the notices share.
#include <gtest/gtest.h>

#include "app/core/markup_escape.h"

namespace trivexa {
namespace {

TEST(MarkupEscape, EntitiesAndTheApostropheChoice) {
    EXPECT_EQ(MarkupEntity('&', false), "&amp;");
    EXPECT_EQ(MarkupEntity('<', false), "&lt;");
    EXPECT_EQ(MarkupEntity('>', true), "&gt;");
    EXPECT_EQ(MarkupEntity('"', false), "&quot;");
    EXPECT_EQ(MarkupEntity('\'', true), "&#39;");
    EXPECT_EQ(MarkupEntity('\'', false), "");
    EXPECT_EQ(MarkupEntity('a', true), "");
    EXPECT_EQ(MarkupEntity(U'\u00e9', true), "");
}

TEST(MarkupEscape, XmlTextKeepsApostrophesAndReplacesForbiddenControls) {
    EXPECT_EQ(XmlEscape("A&B <\"x\"> it's"), "A&amp;B &lt;&quot;x&quot;&gt; it's");
    EXPECT_EQ(XmlEscape(std::string_view("a\tb\nc\rd\x01"
                                         "e\0f",
                                         11)),
              "a\tb\nc?d?e?f");
    EXPECT_EQ(XmlEscape("Gr\xc3\xbc\xc3\x9f"
                        "e"),
              "Gr\xc3\xbc\xc3\x9f"
              "e");  // UTF-8 copied
    EXPECT_EQ(XmlEscape(""), "");
}

}  // namespace
}  // namespace trivexa
