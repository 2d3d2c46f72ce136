#pragma once

// What every fuzz target shares: a reader that takes its choices from the front of the input
// (so that a seed is written by hand as the bytes it means), and a check that stops the run
// with the broken property and the values behind it.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

namespace devir::fuzz {

/// Reads the fuzzer's bytes front to back; past the end every read gives zeros or nothing,
/// so any input, even the empty one, is a valid case.
class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : bytes_(data, size) {}

  bool Empty() const { return pos_ >= bytes_.size(); }
  std::size_t Remaining() const { return bytes_.size() - pos_; }

  std::uint8_t Byte() { return Empty() ? 0 : bytes_[pos_++]; }
  bool Bit() { return (Byte() & 1) != 0; }

  /// n little-endian bytes as an unsigned integer.
  std::uint64_t Unsigned(int n) {
    std::uint64_t v = 0;
    for (int i = 0; i < n; ++i) v |= std::uint64_t{Byte()} << (8 * i);
    return v;
  }

  /// A number in [low, high] from as few bytes as the range needs.
  std::int64_t InRange(std::int64_t low, std::int64_t high) {
    // Unsigned arithmetic: the full int64 range has a span no signed type holds.
    const std::uint64_t span = static_cast<std::uint64_t>(high) - static_cast<std::uint64_t>(low);
    int n = 0;
    while (n < 8 && (span >> (8 * n)) != 0) ++n;
    const std::uint64_t raw = Unsigned(n);
    const std::uint64_t offset = span == UINT64_MAX ? raw : raw % (span + 1);
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(low) + offset);
  }

  /// Up to n bytes as they stand.
  std::string Text(std::size_t n) {
    n = n < Remaining() ? n : Remaining();
    std::string out(reinterpret_cast<const char*>(bytes_.data() + pos_), n);
    pos_ += n;
    return out;
  }

  /// A length byte, then that many bytes.
  std::string ShortText() { return Text(Byte()); }

  /// Everything not read yet.
  std::string Rest() { return Text(Remaining()); }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
};

/// Bytes shown as C escapes, for the report of a failed check; a long value shows its first
/// 300 bytes and its size.
inline std::string Escaped(std::string_view bytes) {
  constexpr std::size_t kShown = 300;
  std::string out;
  for (unsigned char c : bytes.substr(0, kShown)) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  if (bytes.size() > kShown) out += "... (" + std::to_string(bytes.size()) + " bytes)";
  return out;
}

[[noreturn]] inline void Fail(const char* property, const std::string& detail) {
  std::fprintf(stderr, "\nfuzz check failed: %s\n%s\n", property, detail.c_str());
  std::abort();
}

}  // namespace devir::fuzz

/// Stops the run (libFuzzer keeps the input) when a property does not hold; detail is only
/// built then.
#define FUZZ_CHECK(property, detail)                           \
  do {                                                         \
    if (!(property)) ::devir::fuzz::Fail(#property, (detail)); \
  } while (false)
