#include "sandbox/tds/reply_stream.h"

#include <algorithm>

namespace sandbox::tds {

void ReplyStream::FlushFull() {
  const std::size_t payload = packet_size_ - kPacketHeaderSize;
  std::size_t pos = 0;
  while (buffer_.size() - pos > payload) {
    SendPacket(std::span(buffer_).subspan(pos, payload), false);
    pos += payload;
  }
  buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(pos));
}

void ReplyStream::End() {
  FlushFull();
  SendPacket(buffer_, true);
  buffer_.clear();
}

void ReplyStream::SendPacket(std::span<const std::uint8_t> payload, bool last) {
  if (broken_) return;
  Bytes packet;
  packet.reserve(payload.size() + kPacketHeaderSize);
  AppendPacket(packet, PacketType::kReply, payload, last, spid_, packet_id_++);
  if (!socket_.SendAll(packet)) broken_ = true;
}

std::optional<Message> RequestReader::Next() {
  while (pending_.empty()) {
    if (closed_) return std::nullopt;
    std::uint8_t chunk[16384];
    const long n = socket_.Receive(chunk);
    if (n <= 0) {
      closed_ = true;
      if (!buffer_.empty()) throw ProtocolError("connection closed inside a packet");
      return std::nullopt;
    }
    buffer_.insert(buffer_.end(), chunk, chunk + n);
    Assemble();
  }
  Message m = std::move(pending_.front());
  pending_.pop_front();
  return m;
}

bool RequestReader::PollAttention() {
  while (!closed_) {
    std::uint8_t chunk[16384];
    const long n = socket_.ReceiveAvailable(chunk);
    if (n == -1) break;
    if (n <= 0) {
      closed_ = true;
      break;
    }
    buffer_.insert(buffer_.end(), chunk, chunk + n);
  }
  Assemble();
  const auto it = std::find_if(pending_.begin(), pending_.end(),
                               [](const Message& m) { return m.type == PacketType::kAttention; });
  if (it == pending_.end()) return false;
  pending_.erase(it);
  return true;
}

void RequestReader::Assemble() {
  while (true) {
    const auto result = assembler_.Feed(buffer_);
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(result.consumed));
    if (result.status == DecodeStatus::kBad) throw ProtocolError(result.error);
    if (result.status == DecodeStatus::kNeedMore) return;
    pending_.push_back(assembler_.TakeMessage());
  }
}

}  // namespace sandbox::tds
