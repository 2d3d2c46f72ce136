#include "sandbox/tds/packet_codec.h"

#include <algorithm>
#include <utility>

namespace sandbox::tds {
namespace {

bool IsClientType(std::uint8_t type) {
  switch (static_cast<PacketType>(type)) {
    case PacketType::kSqlBatch:
    case PacketType::kRpc:
    case PacketType::kAttention:
    case PacketType::kTransactionManager:
    case PacketType::kLogin7:
    case PacketType::kPrelogin:
      return true;
    case PacketType::kReply:
      return false;
  }
  return false;
}

}  // namespace

MessageAssembler::Result MessageAssembler::Feed(std::span<const std::uint8_t> bytes) {
  Result result;
  if (complete_) {
    result.status = DecodeStatus::kComplete;
    return result;
  }
  while (true) {
    const auto rest = bytes.subspan(result.consumed);
    if (rest.size() < kPacketHeaderSize) {
      result.status = DecodeStatus::kNeedMore;
      return result;
    }
    const std::uint8_t type = rest[0];
    const std::uint8_t status = rest[1];
    const std::size_t length = static_cast<std::size_t>((rest[2] << 8) | rest[3]);
    auto bad = [&result](std::string why) {
      result.status = DecodeStatus::kBad;
      result.error = std::move(why);
      return result;
    };
    if (length < kPacketHeaderSize) return bad("packet length " + std::to_string(length));
    if (length > kMaxPacketSize) return bad("packet length " + std::to_string(length));
    if (!IsClientType(type)) return bad("unknown packet type " + std::to_string(type));
    if (started_ && static_cast<PacketType>(type) != current_.type) {
      return bad("packet type " + std::to_string(type) + " inside a message of type " +
                 std::to_string(static_cast<int>(current_.type)));
    }
    if (rest.size() < length) {
      result.status = DecodeStatus::kNeedMore;
      return result;
    }
    if (current_.payload.size() + length - kPacketHeaderSize > kMaxMessageSize) {
      return bad("message larger than " + std::to_string(kMaxMessageSize) + " bytes");
    }
    if (!started_) current_.status = status;
    current_.type = static_cast<PacketType>(type);
    started_ = true;
    current_.payload.insert(current_.payload.end(), rest.begin() + kPacketHeaderSize,
                            rest.begin() + static_cast<std::ptrdiff_t>(length));
    result.consumed += length;
    if (status & kStatusEndOfMessage) {
      current_.ignored = (status & kStatusIgnore) != 0;
      complete_ = true;
      result.status = DecodeStatus::kComplete;
      return result;
    }
  }
}

Message MessageAssembler::TakeMessage() {
  Message out = std::move(current_);
  current_ = Message{};
  started_ = false;
  complete_ = false;
  return out;
}

void AppendPacket(Bytes& out, PacketType type, std::span<const std::uint8_t> payload, bool last,
                  std::uint16_t spid, std::uint8_t packet_id) {
  WireWriter w(out);
  w.U8(static_cast<std::uint8_t>(type));
  w.U8(last ? kStatusEndOfMessage : 0);
  w.U16Be(static_cast<std::uint16_t>(payload.size() + kPacketHeaderSize));
  w.U16Be(spid);
  w.U8(packet_id);
  w.U8(0);  // window
  w.Raw(payload);
}

Bytes EncodePackets(PacketType type, std::span<const std::uint8_t> payload, std::size_t packet_size,
                    std::uint16_t spid, std::uint8_t& packet_id) {
  const std::size_t chunk =
      std::max<std::size_t>(packet_size, kPacketHeaderSize + 1) - kPacketHeaderSize;
  Bytes out;
  std::size_t pos = 0;
  do {
    const std::size_t n = std::min(chunk, payload.size() - pos);
    AppendPacket(out, type, payload.subspan(pos, n), pos + n == payload.size(), spid, packet_id++);
    pos += n;
  } while (pos < payload.size());
  return out;
}

}  // namespace sandbox::tds
