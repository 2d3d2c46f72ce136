#pragma once

#include <cstddef>
#include <functional>
#include <streambuf>
#include <string>
#include <string_view>

namespace devir::cli {

/// How many leading bytes of text end on a character boundary: all of them unless the text
/// ends inside a UTF-8 character (the 1 to 3 bytes of its start are left out). Bytes that are
/// no UTF-8 count as characters of their own.
std::size_t WholeUtf8Prefix(std::string_view text);

/// A stream buffer that hands what is written to it on in whole UTF-8 characters, so that a
/// writer that converts (a Windows console takes UTF-16) never sees half a letter: a
/// character split between two writes waits for the rest. The writer gets the text at each
/// flush, when 4 KiB are gathered and at the end; it returns false when it could not write.
class Utf8StreamBuffer : public std::streambuf {
 public:
  using Writer = std::function<bool(std::string_view)>;

  explicit Utf8StreamBuffer(Writer writer);
  /// Hands on what is left, a cut-off character included.
  ~Utf8StreamBuffer() override;
  Utf8StreamBuffer(const Utf8StreamBuffer&) = delete;
  Utf8StreamBuffer& operator=(const Utf8StreamBuffer&) = delete;

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* text, std::streamsize count) override;
  int sync() override;

 private:
  bool Hand(std::size_t count);

  Writer writer_;
  std::string pending_;
};

}  // namespace devir::cli
