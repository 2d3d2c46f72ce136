// devir-sandbox against what clients other than devir's own send: unixODBC's isql (every
// statement prepared), raw attention, transaction manager and reset requests, and FreeTDS
// speaking TDS 7.1 and 7.2.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "sandbox/tds/messages.h"
#include "sandbox/tds/text_encoding.h"
#include "tests/sandbox/tds/client_tools.h"
#include "tests/sandbox/tds/odbc_probe.h"
#include "tests/support/sandbox_process.h"

namespace sandbox::tds::testing {
namespace {

using devir::testing::SandboxProcess;

constexpr std::uint8_t kLogin7 = 0x10;
constexpr std::uint8_t kBatch = 0x01;
constexpr std::uint8_t kAttention = 0x06;
constexpr std::uint8_t kTransaction = 0x0E;
const Bytes kAttentionAck = {0xFD, 0x20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

std::string RunCommand(const std::string& command) {
  std::string output;
  if (FILE* pipe = popen((command + " 2>&1").c_str(), "r")) {
    char buffer[4096];
    std::size_t n = 0;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    pclose(pipe);
  }
  return output;
}

Bytes Login7(const std::string& database) {
  Bytes out(94, 0);
  auto field = [&out](std::size_t at, const Bytes& utf16) {
    out[at] = static_cast<std::uint8_t>(out.size());
    out[at + 1] = static_cast<std::uint8_t>(out.size() >> 8);
    out[at + 2] = static_cast<std::uint8_t>(utf16.size() / 2);
    out.insert(out.end(), utf16.begin(), utf16.end());
  };
  for (std::size_t i = 0; i < 4; ++i) out[4 + i] = static_cast<std::uint8_t>(kTds74 >> (8 * i));
  field(40, Utf8ToUtf16Le("sa"));
  field(44, ScramblePassword("qolvanet"));
  field(68, Utf8ToUtf16Le(database));
  out[0] = static_cast<std::uint8_t>(out.size());
  return out;
}

// A request's payload with the ALL_HEADERS that TDS 7.2 and later expect.
Bytes WithHeaders(const Bytes& body) {
  Bytes out = {0x16, 0, 0, 0, 0x12, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0};
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

Bytes Batch(const std::string& sql) {
  return WithHeaders(Utf8ToUtf16Le(sql));
}

Bytes Tail(const Bytes& message, std::size_t n) {
  return Bytes(message.end() - static_cast<std::ptrdiff_t>(std::min(n, message.size())),
               message.end());
}

bool Contains(const Bytes& message, const std::string& utf8) {
  const Bytes needle = Utf8ToUtf16Le(utf8);
  return std::search(message.begin(), message.end(), needle.begin(), needle.end()) != message.end();
}

class ClientProtocolTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { sandbox_ = std::make_unique<SandboxProcess>(); }
  static void TearDownTestSuite() { sandbox_.reset(); }
  static int Port() { return sandbox_->Port(); }

  // A logged-in raw connection to E2017.
  static std::unique_ptr<RawConnection> Connect() {
    auto raw = std::make_unique<RawConnection>(Port());
    raw->Send(ClientPacket(kLogin7, Login7("E2017")));
    const Bytes reply = raw->ReadMessage(10000);
    EXPECT_NE(std::find(reply.begin(), reply.end(), 0xAD), reply.end()) << "no LOGINACK";
    return raw;
  }

  static std::unique_ptr<SandboxProcess> sandbox_;
};

std::unique_ptr<SandboxProcess> ClientProtocolTest::sandbox_;

TEST_F(ClientProtocolTest, IsqlPreparesEveryStatementAndGetsItsRowsAndErrors) {
  std::string pattern = (std::filesystem::temp_directory_path() / "devir-isql-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  const std::filesystem::path dir = pattern;
  std::ofstream(dir / "odbc.ini") << "[stand-in]\nDriver=" << kFreeTdsDriver
                                  << "\nServer=127.0.0.1\nPort=" << Port()
                                  << "\nDatabase=E2017\nTDS_Version=7.4\nClientCharset=UTF-8\n";
  std::ofstream(dir / "input.sql") << "SELECT COUNT(*) AS N FROM DEPO WHERE 1 = 0\n"
                                      "SELECT 1 / 0\n";
  const std::string out =
      RunCommand("ODBCINI=" + (dir / "odbc.ini").string() +
                 " timeout 60 isql -b -v stand-in sa qolvanet < " + (dir / "input.sql").string());
  std::filesystem::remove_all(dir);
  EXPECT_NE(out.find("| 0 "), std::string::npos) << out;
  EXPECT_NE(out.find("Divide by zero error encountered."), std::string::npos) << out;
  EXPECT_EQ(out.find("RPC is not supported"), std::string::npos) << out;
}

TEST_F(ClientProtocolTest, AttentionIsAcknowledgedInAMessageOfItsOwn) {
  auto raw = Connect();
  // While a statement with no output runs: its reply ends, then the acknowledgement.
  raw->Send(ClientPacket(kBatch, Batch("WAITFOR DELAY '00:00:30'")));
  raw->Send(ClientPacket(kAttention, {}));
  const Bytes cancelled = raw->ReadMessage(10000);
  ASSERT_GE(cancelled.size(), 13u);
  EXPECT_EQ(Tail(cancelled, 13)[0], 0xFD);
  EXPECT_EQ(Tail(cancelled, 13)[1] & 0x20, 0);
  EXPECT_EQ(raw->ReadMessage(10000), kAttentionAck);
  // While rows stream: the same.
  raw->Send(ClientPacket(kBatch, Batch("SELECT * FROM STOKHAREKET, STOKHAREKET B")));
  raw->Send(ClientPacket(kAttention, {}));
  EXPECT_NE(raw->ReadMessage(10000), kAttentionAck);
  EXPECT_EQ(raw->ReadMessage(10000), kAttentionAck);
  // After the reply has ended: the acknowledgement alone.
  raw->Send(ClientPacket(kAttention, {}));
  EXPECT_EQ(raw->ReadMessage(10000), kAttentionAck);
  raw->Send(ClientPacket(kBatch, Batch("SELECT N'hâlâ burada'")));
  EXPECT_TRUE(Contains(raw->ReadMessage(10000), "hâlâ burada"));
}

TEST_F(ClientProtocolTest, TransactionRequestsCarryByteCountedNamesAndBadOnesAreRefused) {
  auto raw = Connect();
  const Bytes name = Utf8ToUtf16Le("işlem");
  Bytes begin = {5, 0, 0, static_cast<std::uint8_t>(name.size())};
  begin.insert(begin.end(), name.begin(), name.end());
  raw->Send(ClientPacket(kTransaction, WithHeaders(begin)));
  const Bytes began = raw->ReadMessage(10000);
  EXPECT_EQ(began[0], 0xE3);  // ENVCHANGE
  EXPECT_EQ(began[3], 8);     // begin transaction
  // A name of an odd byte count: an error, and the connection stays.
  raw->Send(ClientPacket(kTransaction, WithHeaders({7, 0, 3, 'a', 0, 'b'})));
  const Bytes refused = raw->ReadMessage(10000);
  EXPECT_EQ(refused[0], 0xAA);  // ERROR
  EXPECT_TRUE(Contains(refused, "The incoming tabular data stream (TDS) protocol stream"));
  Bytes rollback = {8, 0, static_cast<std::uint8_t>(name.size())};
  rollback.insert(rollback.end(), name.begin(), name.end());
  rollback.push_back(0);
  raw->Send(ClientPacket(kTransaction, WithHeaders(rollback)));
  const Bytes rolled = raw->ReadMessage(10000);
  EXPECT_EQ(rolled[3], 10);  // rollback transaction
}

TEST_F(ClientProtocolTest, TheResetFlagReturnsToTheLoginDatabaseAndIsAcknowledgedFirst) {
  auto raw = Connect();
  raw->Send(ClientPacket(kBatch, Batch("USE master")));
  raw->ReadMessage(10000);
  raw->Send(ClientPacket(kBatch, Batch("SELECT DB_NAME()"), 0x09));  // end of message, reset
  const Bytes reply = raw->ReadMessage(10000);
  EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 6), (Bytes{0xE3, 3, 0, 18, 0, 0}));
  EXPECT_TRUE(Contains(reply, "E2017"));
}

TEST_F(ClientProtocolTest, OlderClientsReadTheirOwnLayout) {
  const std::string query =
      "SELECT CAST(N'uzun' AS nvarchar(max)) AS m, CAST('2018-01-02' AS date) AS d, "
      "CAST('10:20:30.5' AS time(1)) AS t\ngo\n";
  // Before 7.3 the date and time come as their text; a 7.4 client formats them itself.
  for (const char* version : {"7.1", "7.2"}) {
    const std::string out = RunCommand(
        std::string("TDSVER=") + version + " " + "LC_ALL=C.UTF-8 timeout 60 tsql -H 127.0.0.1 -p " +
        std::to_string(Port()) + " -U sa -P qolvanet <<'EOF'\n" + query + "quit\nEOF");
    EXPECT_NE(out.find("uzun"), std::string::npos) << version << "\n" << out;
    EXPECT_NE(out.find("2018-01-02"), std::string::npos) << version << "\n" << out;
    EXPECT_NE(out.find("10:20:30.5"), std::string::npos) << version << "\n" << out;
  }
  const std::string old = RunCommand("TDSVER=7.0 timeout 60 tsql -H 127.0.0.1 -p " +
                                     std::to_string(Port()) + " -U sa -P qolvanet </dev/null");
  EXPECT_NE(old.find("Msg 17802"), std::string::npos) << old;
}

}  // namespace
}  // namespace sandbox::tds::testing
