#include "cli/utf8_stream_buffer.h"

#include <utility>

namespace devir::cli {
namespace {

constexpr std::size_t kGathered = 4096;

}  // namespace

std::size_t WholeUtf8Prefix(std::string_view text) {
  // A UTF-8 character is at most 4 bytes: only the last 3 can start one that is cut short.
  for (std::size_t back = 1; back <= 3 && back <= text.size(); ++back) {
    const auto byte = static_cast<unsigned char>(text[text.size() - back]);
    if ((byte & 0xC0) == 0x80) continue;     // a continuation byte: look further back
    if (byte < 0xC0 || byte >= 0xF8) break;  // ASCII or no lead byte: nothing is cut
    const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
    return length > back ? text.size() - back : text.size();
  }
  return text.size();
}

Utf8StreamBuffer::Utf8StreamBuffer(Writer writer) : writer_(std::move(writer)) {}

Utf8StreamBuffer::~Utf8StreamBuffer() {
  try {
    Hand(pending_.size());
  } catch (...) {
    // The stream is going away with nowhere left to report that its last bytes were lost.
  }
}

Utf8StreamBuffer::int_type Utf8StreamBuffer::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  const char byte = traits_type::to_char_type(c);
  return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
}

std::streamsize Utf8StreamBuffer::xsputn(const char* text, std::streamsize count) {
  pending_.append(text, static_cast<std::size_t>(count));
  if (pending_.size() >= kGathered && !Hand(WholeUtf8Prefix(pending_))) return 0;
  return count;
}

int Utf8StreamBuffer::sync() {
  return Hand(WholeUtf8Prefix(pending_)) ? 0 : -1;
}

bool Utf8StreamBuffer::Hand(std::size_t count) {
  if (count == 0) return true;
  const bool written = writer_(std::string_view(pending_).substr(0, count));
  pending_.erase(0, count);
  return written;
}

}  // namespace devir::cli
