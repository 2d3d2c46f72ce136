#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "sandbox/tds/wire.h"

namespace sandbox::tds {

/// Packet types of the messages this server reads and writes.
enum class PacketType : std::uint8_t {
  kSqlBatch = 0x01,
  kRpc = 0x03,
  kReply = 0x04,
  kAttention = 0x06,
  kTransactionManager = 0x0E,
  kLogin7 = 0x10,
  kPrelogin = 0x12,
};

inline constexpr std::size_t kPacketHeaderSize = 8;
/// Largest packet a client may send (the negotiated size is at most 32767).
inline constexpr std::size_t kMaxPacketSize = 32768;
/// Largest message (all packets of one request) this server accepts.
inline constexpr std::size_t kMaxMessageSize = 64u * 1024 * 1024;
inline constexpr std::uint8_t kStatusEndOfMessage = 0x01;
inline constexpr std::uint8_t kStatusIgnore = 0x02;           ///< the client dropped the request
inline constexpr std::uint8_t kStatusResetConnection = 0x08;  ///< reset the session first
inline constexpr std::uint8_t kStatusResetSkipTransaction = 0x10;  ///< ... keeping its transaction

/// One client request: its type and the payloads of its packets, joined.
struct Message {
  PacketType type = PacketType::kSqlBatch;
  Bytes payload;
  std::uint8_t status = 0;  ///< status bits of its first packet (reset flags)
  bool ignored = false;     ///< its last packet had the ignore bit: answer, do not run it
};

enum class DecodeStatus { kComplete, kNeedMore, kBad };

/// Joins the packets of client messages as bytes arrive. Pure: no I/O.
class MessageAssembler {
 public:
  struct Result {
    DecodeStatus status = DecodeStatus::kNeedMore;
    std::size_t consumed = 0;  ///< bytes of whole packets taken from the input
    std::string error;         ///< why the input is bad
  };

  /// Takes whole packets from the front of bytes until a message is complete (TakeMessage
  /// then returns it), a packet is still incomplete (need-more: call again with those bytes
  /// and more), or the input is bad (the connection must be dropped).
  Result Feed(std::span<const std::uint8_t> bytes);
  /// The message completed by the last Feed; resets the assembler for the next one.
  Message TakeMessage();

 private:
  Message current_;
  bool started_ = false;
  bool complete_ = false;
};

/// Appends one packet: the 8-byte header (EOM bit when last) and the payload.
void AppendPacket(Bytes& out, PacketType type, std::span<const std::uint8_t> payload, bool last,
                  std::uint16_t spid, std::uint8_t packet_id);

/// Splits a server message into packets of at most packet_size bytes (type, status EOM on
/// the last one, SPID, packet id counting from packet_id, which is updated).
Bytes EncodePackets(PacketType type, std::span<const std::uint8_t> payload, std::size_t packet_size,
                    std::uint16_t spid, std::uint8_t& packet_id);

}  // namespace sandbox::tds
