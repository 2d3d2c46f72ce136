#pragma once

#include <cstdint>
#include <deque>
#include <optional>

#include "sandbox/tds/packet_codec.h"
#include "sandbox/tds/socket.h"

namespace sandbox::tds {

/// A connection's replies: server messages go out in packets of the negotiated size as soon as
/// a packet is full, so a large result never sits whole in memory.
class ReplyStream {
 public:
  ReplyStream(StreamSocket& socket, std::uint16_t spid) : socket_(socket), spid_(spid) {}

  WireWriter Writer() { return WireWriter(buffer_); }
  void SetPacketSize(std::size_t size) { packet_size_ = size; }
  bool Broken() const { return broken_; }
  void MarkBroken() { broken_ = true; }

  /// Sends every full packet, keeping at least one byte for the final one.
  void FlushFull();
  /// Sends the rest of the message with the end-of-message bit.
  void End();

 private:
  void SendPacket(std::span<const std::uint8_t> payload, bool last);

  StreamSocket& socket_;
  std::uint16_t spid_;
  std::size_t packet_size_ = 4096;
  std::uint8_t packet_id_ = 1;
  Bytes buffer_;
  bool broken_ = false;
};

/// A connection's requests, read blocking between requests and without blocking while a
/// statement runs (to see an attention).
class RequestReader {
 public:
  explicit RequestReader(StreamSocket& socket) : socket_(socket) {}

  /// The next message; nullopt when the client has closed. Throws ProtocolError.
  std::optional<Message> Next();
  /// Reads what has arrived; true when it held an attention (which is consumed). Throws
  /// ProtocolError.
  bool PollAttention();
  bool Closed() const { return closed_; }

 private:
  void Assemble();

  StreamSocket& socket_;
  Bytes buffer_;
  MessageAssembler assembler_;
  std::deque<Message> pending_;
  bool closed_ = false;
};

}  // namespace sandbox::tds
