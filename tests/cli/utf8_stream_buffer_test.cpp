// The console's stream buffer: a writer that converts to UTF-16 only ever gets whole UTF-8
// characters, however the text was split between writes.
#include "cli/utf8_stream_buffer.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace devir::cli {
namespace {

TEST(WholeUtf8PrefixTest, LeavesOutOnlyACharacterCutShort) {
  struct Case {
    std::string text;
    std::size_t whole;
  };
  const Case cases[] = {
      {"", 0},
      {"abc", 3},
      {"ağ", 3},
      {"a\xC4", 1},              // ğ cut after its first byte
      {"a\xE2\x82", 1},          // € cut after two of three
      {"a\xF0\x9F\x98", 1},      // an emoji cut after three of four
      {"a\xF0\x9F\x98\x80", 5},  // the whole emoji
      {"a\x80\x80\x80", 4},      // stray continuation bytes are no cut character
      {"a\xFF", 2},              // nor is a byte that starts nothing
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WholeUtf8Prefix(c.text), c.whole) << testing::PrintToString(c.text);
  }
}

class Utf8StreamBufferTest : public ::testing::Test {
 protected:
  std::vector<std::string> written_;
  std::unique_ptr<Utf8StreamBuffer> buffer_ =
      std::make_unique<Utf8StreamBuffer>([this](std::string_view text) {
        written_.emplace_back(text);
        return true;
      });
  std::ostream stream_{buffer_.get()};
};

TEST_F(Utf8StreamBufferTest, ACharacterSplitBetweenWritesWaitsForItsRest) {
  stream_ << "bağ\xC4" << std::flush;
  stream_ << "\xB1"
          << "na" << std::flush;
  EXPECT_EQ(written_, (std::vector<std::string>{"bağ", "ına"}));
}

TEST_F(Utf8StreamBufferTest, NothingIsHandedOnBeforeAFlush) {
  stream_ << "veritabanına ";
  stream_.put('x');
  EXPECT_TRUE(written_.empty());
  stream_ << std::endl;
  EXPECT_EQ(written_, (std::vector<std::string>{"veritabanına x\n"}));
}

TEST_F(Utf8StreamBufferTest, ALongTextIsHandedOnInWholeCharacters) {
  std::string text;
  for (int i = 0; i < 3000; ++i) text += "ş";  // 6000 bytes, beyond what is gathered
  stream_ << text.substr(0, 4097);             // ends inside a character
  ASSERT_FALSE(written_.empty());
  EXPECT_EQ(written_.front().size() % 2, 0u);
  stream_ << text.substr(4097) << std::flush;
  std::string all;
  for (const std::string& piece : written_) all += piece;
  EXPECT_EQ(all, text);
}

TEST_F(Utf8StreamBufferTest, TheEndHandsOnEvenACutCharacter) {
  stream_ << "a\xC4";
  buffer_.reset();
  EXPECT_EQ(written_, (std::vector<std::string>{"a\xC4"}));
}

TEST(Utf8StreamBufferFailureTest, AWriterThatFailsSetsTheStreamsBadBit) {
  Utf8StreamBuffer buffer([](std::string_view) { return false; });
  std::ostream stream(&buffer);
  stream << "x" << std::flush;
  EXPECT_TRUE(stream.bad());
}

}  // namespace
}  // namespace devir::cli
