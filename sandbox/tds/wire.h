#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace sandbox::tds {

using Bytes = std::vector<std::uint8_t>;

/// Malformed client bytes; the connection that sent them is closed.
struct ProtocolError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

/// Appends little- and big-endian integers and raw bytes to a buffer.
class WireWriter {
 public:
  explicit WireWriter(Bytes& out) : out_(out) {}

  void U8(std::uint8_t v) { out_.push_back(v); }
  void U16(std::uint16_t v) { Le(v, 2); }
  void U32(std::uint32_t v) { Le(v, 4); }
  void U64(std::uint64_t v) { Le(v, 8); }
  void U16Be(std::uint16_t v) {
    U8(static_cast<std::uint8_t>(v >> 8));
    U8(static_cast<std::uint8_t>(v));
  }
  void U32Be(std::uint32_t v) {
    U16Be(static_cast<std::uint16_t>(v >> 16));
    U16Be(static_cast<std::uint16_t>(v));
  }
  /// The low n bytes of v, little-endian.
  void Le(std::uint64_t v, int n) {
    for (int i = 0; i < n; ++i) out_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  void Raw(std::span<const std::uint8_t> bytes) {
    out_.insert(out_.end(), bytes.begin(), bytes.end());
  }
  void Raw(const std::string& bytes) { out_.insert(out_.end(), bytes.begin(), bytes.end()); }
  /// Overwrites a u16 written earlier at offset (token lengths known only at the end).
  void PatchU16(std::size_t offset, std::uint16_t v) {
    out_[offset] = static_cast<std::uint8_t>(v);
    out_[offset + 1] = static_cast<std::uint8_t>(v >> 8);
  }
  std::size_t Size() const { return out_.size(); }

 private:
  Bytes& out_;
};

/// Reads integers from client bytes; every read past the end throws ProtocolError.
class WireReader {
 public:
  explicit WireReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::uint8_t U8() { return static_cast<std::uint8_t>(Le(1)); }
  std::uint16_t U16() { return static_cast<std::uint16_t>(Le(2)); }
  std::uint32_t U32() { return static_cast<std::uint32_t>(Le(4)); }
  std::uint64_t U64() { return Le(8); }
  std::uint16_t U16Be() {
    Need(2);
    std::uint16_t v = static_cast<std::uint16_t>((bytes_[pos_] << 8) | bytes_[pos_ + 1]);
    pos_ += 2;
    return v;
  }
  std::span<const std::uint8_t> Take(std::size_t n) {
    Need(n);
    auto s = bytes_.subspan(pos_, n);
    pos_ += n;
    return s;
  }
  void Skip(std::size_t n) { Take(n); }
  std::size_t Position() const { return pos_; }
  std::size_t Remaining() const { return bytes_.size() - pos_; }
  std::span<const std::uint8_t> Rest() const { return bytes_.subspan(pos_); }

 private:
  void Need(std::size_t n) const {
    if (n > bytes_.size() - pos_) throw ProtocolError("message ends too early");
  }
  std::uint64_t Le(int n) {
    Need(static_cast<std::size_t>(n));
    std::uint64_t v = 0;
    for (int i = 0; i < n; ++i) v |= static_cast<std::uint64_t>(bytes_[pos_ + i]) << (8 * i);
    pos_ += static_cast<std::size_t>(n);
    return v;
  }

  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
};

}  // namespace sandbox::tds
