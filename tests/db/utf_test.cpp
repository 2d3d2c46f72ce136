#include "db/utf.h"

#include <gtest/gtest.h>

#include "db/database_error.h"

namespace devir::db {
namespace {

TEST(Utf, TurkishLettersAndAstralCharactersRoundTrip) {
  const std::string text = "ğüşıöçĞÜŞİÖÇ €𝄞";
  const std::u16string wide = Utf8ToUtf16(text);
  EXPECT_EQ(wide, u"ğüşıöçĞÜŞİÖÇ €𝄞");
  EXPECT_EQ(Utf16ToUtf8(wide), text);
}

TEST(Utf, InvalidUtf8IsRefusedNotGuessed) {
  for (const std::string& bad : {std::string("\xC4"), std::string("a\xFF"), std::string("\xC0\xAF"),
                                 std::string("\xED\xA0\x80")}) {
    EXPECT_THROW(Utf8ToUtf16(bad), DatabaseError) << bad;
  }
}

TEST(Utf, UnpairedSurrogateBecomesReplacementCharacter) {
  const std::u16string wide = {u'a', static_cast<char16_t>(0xD800), u'b'};
  EXPECT_EQ(Utf16ToUtf8(wide),
            "a\xEF\xBF\xBD"
            "b");
}

}  // namespace
}  // namespace devir::db
