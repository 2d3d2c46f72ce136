// The TDS server driven by real clients (tsql, the FreeTDS ODBC driver, raw sockets) in
// front of a fake session, so every wire type and the protocol's corners are checked apart
// from the engine.
#include <gtest/gtest.h>

#include <thread>

#include "sandbox/tds/messages.h"
#include "sandbox/tds/server.h"
#include "sandbox/tds/text_encoding.h"
#include "tests/sandbox/tds/client_tools.h"
#include "tests/sandbox/tds/fake_session.h"
#include "tests/sandbox/tds/odbc_probe.h"

namespace sandbox::tds::testing {
namespace {

class FakeServerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ServerOptions options;
    options.port = 0;
    options.browser_port = -1;
    options.host_name = "TESTHOST";
    server_ = new Server(options, FakeLogin);
    server_->Start();
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  static int Port() { return server_->Port(); }

  static Server* server_;
};

Server* FakeServerTest::server_ = nullptr;

TEST_F(FakeServerTest, TsqlLogsInAndReadsAResult) {
  const std::string out = RunTsql(Port(), "SELECT name FROM sys.databases\ngo");
  EXPECT_NE(out.find("name\nmaster\nE2017\n(2 rows affected)"), std::string::npos) << out;
}

TEST_F(FakeServerTest, TsqlWrongPasswordGetsLoginFailed) {
  const std::string out = RunTsql(Port(), "SELECT name FROM sys.databases\ngo", "sa", "wrong");
  EXPECT_NE(out.find("Msg 18456"), std::string::npos) << out;
  EXPECT_NE(out.find("Login failed for user 'sa'."), std::string::npos) << out;
  EXPECT_EQ(out.find("master"), std::string::npos) << out;
}

TEST_F(FakeServerTest, TsqlUnknownDatabaseGets4060Then18456) {
  const std::string out =
      RunTsql(Port(), "SELECT name FROM sys.databases\ngo", "sa", "qolvanet", "E1999");
  const auto cannot_open = out.find("Msg 4060");
  const auto login_failed = out.find("Msg 18456");
  ASSERT_NE(cannot_open, std::string::npos) << out;
  ASSERT_NE(login_failed, std::string::npos) << out;
  EXPECT_LT(cannot_open, login_failed);
  EXPECT_NE(out.find("Cannot open database \"E1999\" requested by the login."), std::string::npos);
}

TEST_F(FakeServerTest, TsqlTurkishLettersRoundTripThroughVarcharAndNvarchar) {
  const std::string out = RunTsql(Port(), "SELECT echo ÇĞİÖŞÜçğıöşü\ngo");
  EXPECT_NE(out.find("ÇĞİÖŞÜçğıöşü\tÇĞİÖŞÜçğıöşü"), std::string::npos) << out;
}

TEST_F(FakeServerTest, TsqlErrorCarriesNumberLineAndTheBatchGoesOn) {
  const std::string out = RunTsql(Port(), "SELECT 1\nSELECT missing\nSELECT 3\ngo");
  EXPECT_NE(out.find("Msg 208 (severity 16, state 1) from DEVIR-SANDBOX Line 2"), std::string::npos)
      << out;
  EXPECT_NE(out.find("Invalid object name 'missing'."), std::string::npos) << out;
  EXPECT_NE(out.find("\n3\n"), std::string::npos) << out;
}

struct ExpectedColumn {
  SQLSMALLINT type;
  SQLULEN size;
  SQLSMALLINT digits;
  const char* type_name;
  const char* text;
};

TEST_F(FakeServerTest, OdbcDescribesAndReadsEveryType) {
  // What the FreeTDS ODBC driver reports for each wire type, and the value as text. FreeTDS
  // names the nullable forms of smallmoney and smalldatetime "money" and "datetime" (as it
  // does with SQL Server); their sizes tell them apart.
  const std::vector<ExpectedColumn> expected = {
      {SQL_TINYINT, 3, 0, "tinyint", "255"},
      {SQL_SMALLINT, 5, 0, "smallint", "-32768"},
      {SQL_INTEGER, 10, 0, "int", "2147483647"},
      {SQL_BIGINT, 19, 0, "bigint", "-9007199254740993"},
      {SQL_BIT, 1, 0, "bit", "1"},
      {SQL_REAL, 24, 0, "real", "0.5"},
      {SQL_DOUBLE, 53, 0, "float", "-1234.5678"},
      {SQL_NUMERIC, 18, 4, "decimal", "-12345678901234.5678"},
      {SQL_NUMERIC, 38, 10, "numeric", "1234567890123456789012345678.0123456789"},
      {SQL_DECIMAL, 19, 4, "money", "-922337203685477.5808"},
      {SQL_DECIMAL, 10, 4, "money", "214748.3647"},
      {SQL_TYPE_TIMESTAMP, 23, 3, "datetime", "2017-12-31 23:59:59.997"},
      {SQL_TYPE_TIMESTAMP, 16, 0, "datetime", "2017-12-31 23:59:00"},
      {SQL_TYPE_DATE, 10, 0, "date", "2018-01-01"},
      {-154, 16, 7, "time", "23:59:59.1234567"},
      {SQL_TYPE_TIMESTAMP, 27, 7, "datetime2", "2018-01-01 10:20:30.1234567"},
      {-155, 34, 7, "datetimeoffset", "2018-01-01 10:20:30.1234567 +03:00"},
      {SQL_CHAR, 5, 0, "char", "ab   "},
      {SQL_VARCHAR, 20, 0, "varchar", "ÇĞİÖŞÜçğıöşü"},
      {SQL_WCHAR, 5, 0, "nchar", "ş    "},
      {SQL_WVARCHAR, 20, 0, "nvarchar", "Ağaç İĞNE"},
      {SQL_LONGVARCHAR, 2147483647, 0, "text", "metin ğ"},
      {SQL_WLONGVARCHAR, 1073741823, 0, "ntext", "uzun metin ş"},
      {-152, 0, 0, "xml", "<a>ı</a>"},
      {SQL_BINARY, 4, 0, "binary", "01020000"},
      {SQL_VARBINARY, 4, 0, "varbinary", "deadbeef"},
      {SQL_LONGVARBINARY, 2147483647, 0, "image", "00ff"},
      {SQL_BINARY, 8, 0, "timestamp", "00000000000007d1"},
      {SQL_GUID, 36, 0, "uniqueidentifier", "6F9619FF-8B86-D011-B42D-00C04FC964FF"},
      {SQL_VARCHAR, 0, 0, "varchar", "büyük ğ"},
      {SQL_WVARCHAR, 0, 0, "nvarchar", "büyük ş"},
      {SQL_VARBINARY, 0, 0, "varbinary", "cafe"},
  };
  OdbcProbe db(ConnectionString(Port()));
  db.Execute("SELECT all_types");
  const auto columns = db.Describe();
  ASSERT_EQ(columns.size(), expected.size());
  const auto values = db.FetchText();
  ASSERT_EQ(values.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(columns[i].name);
    EXPECT_EQ(columns[i].type, expected[i].type);
    EXPECT_EQ(columns[i].size, expected[i].size);
    EXPECT_EQ(columns[i].digits, expected[i].digits);
    EXPECT_EQ(columns[i].type_name, expected[i].type_name);
    EXPECT_EQ(values[i], expected[i].text);
  }
  const auto nulls = db.FetchText();
  EXPECT_EQ(nulls, std::vector<std::string>(expected.size(), "NULL"));
  EXPECT_TRUE(db.FetchText().empty());
}

TEST_F(FakeServerTest, ALongBatchArrivesWholeAcrossManyPackets) {
  const std::string sql = "SELECT length " + std::string(100000, 'x') + "ğ";
  OdbcProbe db(ConnectionString(Port()));
  db.Execute(sql);
  EXPECT_EQ(db.FetchText(), std::vector<std::string>{std::to_string(sql.size())});
}

TEST_F(FakeServerTest, ALargeResultArrivesRowByRow) {
  OdbcProbe db(ConnectionString(Port()));
  db.Execute("SELECT many");
  std::size_t rows = 0;
  std::vector<std::string> last;
  for (auto row = db.FetchText(); !row.empty(); row = db.FetchText()) {
    last = row;
    ++rows;
  }
  EXPECT_EQ(rows, 50000u);
  EXPECT_EQ(last, (std::vector<std::string>{"49999", "satır 49999"}));
}

TEST_F(FakeServerTest, OdbcSeesEveryResultOfABatchAndTheErrorBetween) {
  OdbcProbe db(ConnectionString(Port()));
  db.Execute("SELECT 1\nSELECT missing\nSELECT 3");
  EXPECT_EQ(db.FetchText(), std::vector<std::string>{"1"});
  EXPECT_TRUE(db.FetchText().empty());
  try {
    db.NextResult();
    FAIL() << "the failing statement was not reported";
  } catch (const OdbcError& e) {
    EXPECT_NE(std::string(e.what()).find("42S02 208 [FreeTDS][SQL Server]Invalid object name "
                                         "'missing'."),
              std::string::npos)
        << e.what();
  }
  ASSERT_TRUE(db.NextResult());
  EXPECT_EQ(db.FetchText(), std::vector<std::string>{"3"});
  EXPECT_TRUE(db.FetchText().empty());
  EXPECT_FALSE(db.NextResult());
}

TEST_F(FakeServerTest, OdbcManualCommitSendsTransactionRequests) {
  OdbcProbe db(ConnectionString(Port()));
  db.CheckConnection(SQLSetConnectAttr(db.ConnectionHandle(), SQL_ATTR_AUTOCOMMIT,
                                       reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0));
  db.Execute("SELECT name FROM sys.databases");
  db.CheckConnection(SQLEndTran(SQL_HANDLE_DBC, db.ConnectionHandle(), SQL_COMMIT));
  db.CheckConnection(SQLEndTran(SQL_HANDLE_DBC, db.ConnectionHandle(), SQL_ROLLBACK));
  db.CheckConnection(SQLSetConnectAttr(db.ConnectionHandle(), SQL_ATTR_AUTOCOMMIT,
                                       reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0));
  db.Execute("SELECT name FROM sys.databases");
  EXPECT_EQ(db.FetchText(), std::vector<std::string>{"master"});
}

TEST_F(FakeServerTest, OdbcCancelStopsAnEndlessResultAndTheConnectionGoesOn) {
  OdbcProbe db(ConnectionString(Port()));
  db.Execute("SELECT endless");
  EXPECT_EQ(db.FetchText(), std::vector<std::string>{"0"});
  EXPECT_EQ(db.FetchText(), std::vector<std::string>{"1"});
  db.Check(SQLCancel(db.Statement()));
  db.Execute("SELECT name FROM sys.databases");
  EXPECT_EQ(db.FetchText(), std::vector<std::string>{"master"});
}

TEST_F(FakeServerTest, OdbcParametersAreRefusedWithAMessage) {
  OdbcProbe db(ConnectionString(Port()));
  SQLINTEGER value = 5;
  SQLLEN indicator = 0;
  db.Check(SQLBindParameter(db.Statement(), 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0,
                            &value, 0, &indicator));
  try {
    db.Execute("SELECT ?");
    FAIL() << "a parameterised statement was accepted";
  } catch (const OdbcError& e) {
    EXPECT_NE(std::string(e.what()).find("RPC is not supported by this stand-in"),
              std::string::npos)
        << e.what();
  }
  SQLFreeStmt(db.Statement(), SQL_RESET_PARAMS);
  db.Execute("SELECT name FROM sys.databases");
  EXPECT_EQ(db.FetchText(), std::vector<std::string>{"master"});
}

TEST_F(FakeServerTest, AValueThatDoesNotFitItsColumnFailsTheStatementNotTheConnection) {
  OdbcProbe db(ConnectionString(Port()));
  try {
    db.Execute("SELECT bad_value");
    while (!db.FetchText().empty()) {
    }
    FAIL() << "the bad value was not reported";
  } catch (const OdbcError& e) {
    EXPECT_NE(std::string(e.what()).find("out of range for tinyint"), std::string::npos)
        << e.what();
  }
  db.Execute("SELECT name FROM sys.databases");
  EXPECT_EQ(db.FetchText(), std::vector<std::string>{"master"});
}

TEST_F(FakeServerTest, SeveralClientsAtOnce) {
  std::vector<std::thread> clients;
  std::vector<std::string> results(6);
  for (std::size_t i = 0; i < results.size(); ++i) {
    clients.emplace_back([i, &results] {
      try {
        OdbcProbe db(ConnectionString(Port()));
        for (int k = 0; k < 20; ++k) {
          db.Execute("SELECT echo client" + std::to_string(i));
          results[i] = db.FetchText().at(1);
        }
      } catch (const std::exception& e) {
        results[i] = e.what();
      }
    });
  }
  for (auto& c : clients) c.join();
  for (std::size_t i = 0; i < results.size(); ++i) {
    EXPECT_EQ(results[i], "client" + std::to_string(i));
  }
}

struct GarbageCase {
  const char* name;
  Bytes bytes;
};

class FakeServerGarbage : public FakeServerTest,
                          public ::testing::WithParamInterface<GarbageCase> {};

TEST_P(FakeServerGarbage, ClosesThatConnectionAndKeepsServing) {
  RawConnection raw(Port());
  raw.Send(GetParam().bytes);
  EXPECT_TRUE(raw.WaitForClose(10000));
  const std::string out = RunTsql(Port(), "SELECT name FROM sys.databases\ngo");
  EXPECT_NE(out.find("E2017"), std::string::npos) << out;
}

Bytes LoginWithUserOutside() {
  Bytes login(94, 0);
  login[0] = 94;
  login[4] = 0x04;
  login[7] = 0x74;
  login[40] = 0x00;  // user name at 0x7000, far beyond the packet
  login[41] = 0x70;
  login[42] = 4;
  return ClientPacket(0x10, login);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, FakeServerGarbage,
    ::testing::Values(GarbageCase{"HttpRequest",
                                  {'G', 'E', 'T', ' ', '/', ' ', 'H', 'T', 'T', 'P', '/', '1', '.',
                                   '1', '\r', '\n', '\r', '\n'}},
                      GarbageCase{"ShortPacketLength", {0x12, 0x01, 0x00, 0x04, 0, 0, 0, 0}},
                      GarbageCase{"UnknownPacketType", {0x77, 0x01, 0x00, 0x08, 0, 0, 0, 0}},
                      GarbageCase{"BatchBeforeLogin", ClientPacket(0x01, {'S', 0})},
                      GarbageCase{"LoginFieldOutsideThePacket", LoginWithUserOutside()}),
    [](const auto& test) { return test.param.name; });

TEST_F(FakeServerTest, PreloginReplyIsAReplyPacketRefusingEncryption) {
  RawConnection raw(Port());
  raw.Send(ClientPacket(0x12, {0x01, 0x00, 0x06, 0x00, 0x01, 0xFF, 0x00}));
  EXPECT_EQ(raw.ReadMessage(10000), PreloginReply());
}

TEST_F(FakeServerTest, BrowserAnswersOnlyItsInstance) {
  const int port = server_->BrowserPort();
  ASSERT_GT(port, 0);
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  auto ask = [&](const std::string& request) {
    sendto(fd, request.data(), request.size(), 0, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 2000) <= 0) return std::string();
    char buffer[1024];
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
  };
  const std::string data =
      "ServerName;TESTHOST;InstanceName;SQLEXPRESS;IsClustered;No;Version;"
      "16.0.1000.6;tcp;" +
      std::to_string(Port()) + ";;";
  const std::string expected =
      std::string("\x05", 1) + static_cast<char>(data.size()) + std::string(1, '\0') + data;
  EXPECT_EQ(ask(std::string("\x04sqlexpress\0", 12)), expected);
  EXPECT_EQ(ask("\x03"), expected);
  EXPECT_EQ(ask(std::string("\x04OTHER\0", 7)), "");
  close(fd);
}

}  // namespace
}  // namespace sandbox::tds::testing
