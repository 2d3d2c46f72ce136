// The two connection strings: their fixed text for plain values, and values that would break
// an unquoted string (';', quotes, '=') arriving at the server unchanged.
#include <gtest/gtest.h>

#include "db/connection_string.h"
#include "db/server_connection.h"
#include "db/statement_runner.h"

namespace devir::db {
namespace {

TEST(ConnectionStringsTest, PlainValuesStandAsTheyAre) {
  EXPECT_EQ(SourceConnectionString({".\\SQLExpress", "sa", "qolvanet"}, "E2017"),
            "Provider=SQLOLEDB.1;Persist security info=TRUE;Initial Catalog=E2017;"
            "Data Source=.\\SQLExpress;User ID=sa;Password=qolvanet");
  EXPECT_EQ(RunnerConnectionString({".\\SQLExpress", "sa", "qolvanet"}, "master"),
            "Provider=SQLOLEDB;Persist security info=TRUE;Initial Catalog=master;"
            "Data Source=.\\SQLExpress;User ID=sa;Password=qolvanet");
}

struct LoginValues {
  const char* what;
  std::string database, server, user, password;
};

class ConnectionStringValuesTest : public ::testing::TestWithParam<LoginValues> {};

TEST_P(ConnectionStringValuesTest, SourceStringCarriesEveryValueUnchanged) {
  const LoginValues& v = GetParam();
  const ConnectionSettings read =
      ParseAdoConnectionString(SourceConnectionString({v.server, v.user, v.password}, v.database));
  EXPECT_EQ(read.provider, "SQLOLEDB.1");
  EXPECT_EQ(read.initial_catalog, v.database);
  EXPECT_EQ(read.data_source, v.server);
  EXPECT_EQ(read.user_id, v.user);
  EXPECT_EQ(read.password, v.password);
}

TEST_P(ConnectionStringValuesTest, RunnerStringCarriesEveryValueUnchanged) {
  const LoginValues& v = GetParam();
  const ConnectionSettings read =
      ParseAdoConnectionString(RunnerConnectionString({v.server, v.user, v.password}, v.database));
  EXPECT_EQ(read.provider, "SQLOLEDB");
  EXPECT_EQ(read.initial_catalog, v.database);
  EXPECT_EQ(read.data_source, v.server);
  EXPECT_EQ(read.user_id, v.user);
  EXPECT_EQ(read.password, v.password);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ConnectionStringValuesTest,
    ::testing::Values(LoginValues{"semicolon in password", "E2017", "127.0.0.1,1433", "sa",
                                  "qo;lva"},
                      LoginValues{"password naming another database", "E2017", "srv", "sa",
                                  "x;Initial Catalog=master"},
                      LoginValues{"quotes and equals", "E'2017", "srv\\INST", "us\"er", "a=b'c\"d"},
                      LoginValues{"blanks around", " E2017 ", "srv", " sa", "pw "},
                      LoginValues{"Turkish letters", "E2017", "sunucu", "kullanıcı", "şifreĞİ"}),
    [](const ::testing::TestParamInfo<LoginValues>& param_info) {
      std::string name;
      for (char c : std::string(param_info.param.what))
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      return name;
    });

}  // namespace
}  // namespace devir::db
