#include "sandbox/tds/packet_codec.h"

#include <gtest/gtest.h>

#include "tests/sandbox/tds/client_tools.h"

namespace sandbox::tds {
namespace {

using testing::ClientPacket;

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

TEST(MessageAssembler, CompletesASinglePacketMessage) {
  const Bytes input = ClientPacket(0x01, {'a', 0, 'b', 0}, 0x01);
  MessageAssembler assembler;
  const auto result = assembler.Feed(input);
  ASSERT_EQ(result.status, DecodeStatus::kComplete);
  EXPECT_EQ(result.consumed, input.size());
  const Message m = assembler.TakeMessage();
  EXPECT_EQ(m.type, PacketType::kSqlBatch);
  EXPECT_EQ(m.payload, (Bytes{'a', 0, 'b', 0}));
}

TEST(MessageAssembler, JoinsPacketsUntilEndOfMessage) {
  const Bytes input = Join({ClientPacket(0x01, {1, 2}, 0x00), ClientPacket(0x01, {3}, 0x00),
                            ClientPacket(0x01, {4, 5}, 0x01)});
  MessageAssembler assembler;
  const auto result = assembler.Feed(input);
  ASSERT_EQ(result.status, DecodeStatus::kComplete);
  EXPECT_EQ(result.consumed, input.size());
  EXPECT_EQ(assembler.TakeMessage().payload, (Bytes{1, 2, 3, 4, 5}));
}

TEST(MessageAssembler, StopsAfterTheFirstCompleteMessage) {
  const Bytes first = ClientPacket(0x01, {1}, 0x01);
  const Bytes input = Join({first, ClientPacket(0x06, {}, 0x01)});
  MessageAssembler assembler;
  auto result = assembler.Feed(input);
  ASSERT_EQ(result.status, DecodeStatus::kComplete);
  EXPECT_EQ(result.consumed, first.size());
  EXPECT_EQ(assembler.TakeMessage().payload, Bytes{1});
  result = assembler.Feed(std::span(input).subspan(first.size()));
  ASSERT_EQ(result.status, DecodeStatus::kComplete);
  EXPECT_EQ(assembler.TakeMessage().type, PacketType::kAttention);
}

// Whatever the split of the bytes, feeding them piece by piece yields the same message.
TEST(MessageAssembler, NeedsMoreAtEveryCutAndThenCompletes) {
  const Bytes input = Join({ClientPacket(0x10, {9, 8, 7}, 0x00), ClientPacket(0x10, {6}, 0x01)});
  for (std::size_t cut = 0; cut < input.size(); ++cut) {
    MessageAssembler assembler;
    Bytes buffer(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(cut));
    auto result = assembler.Feed(buffer);
    ASSERT_EQ(result.status, DecodeStatus::kNeedMore) << "cut " << cut;
    buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(result.consumed));
    buffer.insert(buffer.end(), input.begin() + static_cast<std::ptrdiff_t>(cut), input.end());
    result = assembler.Feed(buffer);
    ASSERT_EQ(result.status, DecodeStatus::kComplete) << "cut " << cut;
    EXPECT_EQ(result.consumed, buffer.size());
    EXPECT_EQ(assembler.TakeMessage().payload, (Bytes{9, 8, 7, 6})) << "cut " << cut;
  }
}

struct BadCase {
  const char* name;
  Bytes input;
};

class MessageAssemblerBad : public ::testing::TestWithParam<BadCase> {};

TEST_P(MessageAssemblerBad, RejectsInput) {
  MessageAssembler assembler;
  const auto result = assembler.Feed(GetParam().input);
  EXPECT_EQ(result.status, DecodeStatus::kBad);
  EXPECT_FALSE(result.error.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Packets, MessageAssemblerBad,
    ::testing::Values(BadCase{"LengthBelowHeader", {0x01, 0x01, 0x00, 0x07, 0, 0, 0, 0}},
                      BadCase{"LengthZero", {0x01, 0x01, 0x00, 0x00, 0, 0, 0, 0}},
                      BadCase{"LengthAboveLimit", {0x01, 0x01, 0x80, 0x01, 0, 0, 0, 0}},
                      BadCase{"UnknownType", {0x55, 0x01, 0x00, 0x08, 0, 0, 0, 0}},
                      BadCase{"ReplyTypeFromClient", {0x04, 0x01, 0x00, 0x08, 0, 0, 0, 0}},
                      BadCase{"TypeChangesInsideMessage", Join({ClientPacket(0x01, {1}, 0x00),
                                                                ClientPacket(0x03, {2}, 0x01)})}),
    [](const auto& test) { return test.param.name; });

TEST(MessageAssembler, RejectsAMessageLargerThanTheBound) {
  MessageAssembler assembler;
  const Bytes packet = ClientPacket(0x01, Bytes(32000, 'x'), 0x00);
  std::size_t fed = 0;
  DecodeStatus status = DecodeStatus::kNeedMore;
  while (status == DecodeStatus::kNeedMore && fed <= kMaxMessageSize + packet.size()) {
    const auto result = assembler.Feed(packet);
    status = result.status;
    fed += result.consumed;
  }
  EXPECT_EQ(status, DecodeStatus::kBad);
  EXPECT_LE(fed, kMaxMessageSize + packet.size());
}

TEST(EncodePackets, SplitsAtThePacketSizeAndMarksTheLast) {
  const Bytes payload(10, 0xAB);
  std::uint8_t id = 1;
  const Bytes out = EncodePackets(PacketType::kReply, payload, 12, 0x33, id);
  // 10 bytes in packets of 4 payload bytes: 4 + 4 + 2.
  ASSERT_EQ(out.size(), 3 * 8 + 10);
  EXPECT_EQ((Bytes(out.begin(), out.begin() + 8)), (Bytes{0x04, 0x00, 0x00, 12, 0x00, 0x33, 1, 0}));
  EXPECT_EQ(out[12 + 1], 0x00);
  EXPECT_EQ(out[24 + 1], 0x01);
  EXPECT_EQ(out[24 + 3], 10);
  EXPECT_EQ(id, 4);
  MessageAssembler roundtrip;
  Bytes as_client = out;
  for (std::size_t at = 0; at < as_client.size();) {
    as_client[at] = 0x01;  // re-typed as a client batch to read it back
    at += static_cast<std::size_t>((as_client[at + 2] << 8) | as_client[at + 3]);
  }
  ASSERT_EQ(roundtrip.Feed(as_client).status, DecodeStatus::kComplete);
  EXPECT_EQ(roundtrip.TakeMessage().payload, payload);
}

}  // namespace
}  // namespace sandbox::tds
