// The stand-in's packet assembler on what a client may send: any bytes, arriving in any
// pieces. It must take whole packets only, keep every message within its limit, give the same
// messages however the bytes are cut, and read back what EncodePackets writes.
//
// Input: packet size (2 bytes), message type (1), cut count (1) and cuts (2 each), then the
// stream.

#include <algorithm>
#include <array>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "sandbox/tds/packet_codec.h"

namespace {

using devir::fuzz::Escaped;
using devir::fuzz::FuzzInput;
using namespace sandbox::tds;

struct Outcome {
  std::vector<Message> messages;
  bool bad = false;
  std::size_t left_over = 0;  // bytes of a packet still incomplete at the end
};

std::string Describe(const Outcome& o) {
  return std::to_string(o.messages.size()) + " messages, " + (o.bad ? "bad" : "not bad") + ", " +
         std::to_string(o.left_over) + " bytes left over";
}

bool Same(const Outcome& a, const Outcome& b) {
  return a.bad == b.bad && (a.bad || a.left_over == b.left_over) &&
         std::equal(a.messages.begin(), a.messages.end(), b.messages.begin(), b.messages.end(),
                    [](const Message& x, const Message& y) {
                      return x.type == y.type && x.payload == y.payload;
                    });
}

// Reads the stream as a connection does: each piece appended to what is left, whole packets
// taken from the front, the connection dropped at the first bad packet.
Outcome Assemble(std::span<const std::uint8_t> stream, std::vector<std::size_t> cuts) {
  cuts.push_back(stream.size());
  Outcome out;
  MessageAssembler assembler;
  Bytes buffer;
  std::size_t from = 0;
  for (std::size_t to : cuts) {
    buffer.insert(buffer.end(), stream.begin() + static_cast<std::ptrdiff_t>(from),
                  stream.begin() + static_cast<std::ptrdiff_t>(to));
    from = to;
    while (true) {
      const MessageAssembler::Result result = assembler.Feed(buffer);
      FUZZ_CHECK(result.consumed <= buffer.size(), std::to_string(result.consumed));
      buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(result.consumed));
      if (result.status == DecodeStatus::kBad) {
        FUZZ_CHECK(!result.error.empty(), "a bad packet without a reason");
        out.bad = true;
        return out;
      }
      if (result.status == DecodeStatus::kNeedMore) break;
      Message message = assembler.TakeMessage();
      FUZZ_CHECK(message.payload.size() <= kMaxMessageSize, std::to_string(message.payload.size()));
      out.messages.push_back(std::move(message));
    }
  }
  out.left_over = buffer.size();
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput in(data, size);
  const auto packet_size = static_cast<std::size_t>(in.InRange(0, kMaxPacketSize));
  static constexpr std::array kClientTypes = {
      PacketType::kSqlBatch,           PacketType::kRpc,    PacketType::kAttention,
      PacketType::kTransactionManager, PacketType::kLogin7, PacketType::kPrelogin};
  const PacketType type = kClientTypes[in.Byte() % kClientTypes.size()];
  std::vector<std::size_t> cuts(in.Byte() % 9);
  for (std::size_t& cut : cuts) cut = static_cast<std::size_t>(in.Unsigned(2));
  const std::string rest = in.Rest();
  const std::span<const std::uint8_t> stream(reinterpret_cast<const std::uint8_t*>(rest.data()),
                                             rest.size());
  for (std::size_t& cut : cuts) cut = std::min(cut, stream.size());
  std::sort(cuts.begin(), cuts.end());

  // However the bytes arrive, the connection sees the same messages.
  const Outcome whole = Assemble(stream, {});
  const Outcome pieces = Assemble(stream, cuts);
  FUZZ_CHECK(Same(whole, pieces), "whole: " + Describe(whole) + "; in pieces: " + Describe(pieces));

  // What EncodePackets writes reads back as one message, in any pieces.
  std::uint8_t packet_id = 1;
  const Bytes encoded = EncodePackets(type, stream, packet_size, 55, packet_id);
  const Outcome back = Assemble(encoded, cuts);
  FUZZ_CHECK(!back.bad && back.left_over == 0 && back.messages.size() == 1 &&
                 back.messages[0].type == type &&
                 back.messages[0].payload == Bytes(stream.begin(), stream.end()),
             "packet size " + std::to_string(packet_size) + ": " + Describe(back) +
                 "\npayload: " + Escaped(rest));
  return 0;
}
