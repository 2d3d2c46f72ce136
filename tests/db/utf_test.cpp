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
                                 std::string("\xF4\x90\x80\x80")}) {
    EXPECT_THROW(Utf8ToUtf16(bad), DatabaseError) << bad;
  }
}

// nvarchar holds any UTF-16 code unit: a value with an unpaired surrogate must come out of
// a transfer unchanged, not with a replacement character.
TEST(Utf, UnpairedSurrogateSurvivesTheRoundTrip) {
  for (const std::u16string& wide : {std::u16string{u'a', static_cast<char16_t>(0xD800), u'b'},
                                     std::u16string{static_cast<char16_t>(0xDC00)},
                                     std::u16string{u'x', static_cast<char16_t>(0xDBFF)}}) {
    EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(wide)), wide);
  }
}

TEST(Utf, AppendingKeepsWhatTheTextHeld) {
  std::string text = "STOKADI=";
  AppendUtf16AsUtf8(text, u"Şeker 😀");
  AppendUtf16AsUtf8(text, u"");
  AppendUtf16AsUtf8(text, std::u16string{static_cast<char16_t>(0xD800)});
  EXPECT_EQ(text, "STOKADI=Şeker 😀\xED\xA0\x80");
}

}  // namespace
}  // namespace devir::db
