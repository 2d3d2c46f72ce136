#include "db/connection_string.h"

#include <gtest/gtest.h>

#include <string>

#include "db/database_error.h"

namespace devir::db {
namespace {

ConnectionSettings Settings(std::string password, std::string user = "sa",
                            std::string catalog = "E2017",
                            std::string data_source = ".\\SQLExpress") {
  return ConnectionSettings{"SQLOLEDB", std::move(catalog), std::move(data_source), std::move(user),
                            std::move(password)};
}

// ---- ADO strings -------------------------------------------------------------------------

TEST(AdoConnectionString, PlainValuesStandAsTheyAre) {
  ConnectionSettings settings = Settings("qolvanet");
  settings.provider = "SQLOLEDB.1";
  EXPECT_EQ(BuildAdoConnectionString(settings),
            "Provider=SQLOLEDB.1;Persist security info=TRUE;Initial Catalog=E2017;"
            "Data Source=.\\SQLExpress;User ID=sa;Password=qolvanet");
}

TEST(AdoConnectionString, ReadsTheWindowsTwoForms) {
  for (const char* text : {"Provider=SQLOLEDB.1;Persist security info=TRUE;Initial Catalog=E2017;"
                           "Data Source=.\\SQLExpress;User ID=sa;Password=qolvanet",
                           "Provider=SQLOLEDB;Persist security info=TRUE;Initial Catalog=E2017;"
                           "Data Source=.\\SQLExpress;User ID=sa;Password=qolvanet"}) {
    const ConnectionSettings settings = ParseAdoConnectionString(text);
    EXPECT_EQ(settings.initial_catalog, "E2017");
    EXPECT_EQ(settings.data_source, ".\\SQLExpress");
    EXPECT_EQ(settings.user_id, "sa");
    EXPECT_EQ(settings.password, "qolvanet");
  }
}

TEST(AdoConnectionString, PasswordWithSemicolonCannotSwitchDatabase) {
  const std::string text = BuildAdoConnectionString(Settings("x;Initial Catalog=master"));
  const ConnectionSettings settings = ParseAdoConnectionString(text);
  EXPECT_EQ(settings.password, "x;Initial Catalog=master");
  EXPECT_EQ(settings.initial_catalog, "E2017");
}

class AdoRoundTripTest : public ::testing::TestWithParam<std::string> {};

TEST_P(AdoRoundTripTest, EveryFieldComesBackUnchanged) {
  const std::string& value = GetParam();
  const ConnectionSettings original{"SQLOLEDB", value, value, value, value};
  const ConnectionSettings parsed = ParseAdoConnectionString(BuildAdoConnectionString(original));
  EXPECT_EQ(parsed.provider, "SQLOLEDB");
  EXPECT_EQ(parsed.initial_catalog, value);
  EXPECT_EQ(parsed.data_source, value);
  EXPECT_EQ(parsed.user_id, value);
  EXPECT_EQ(parsed.password, value);
}

INSTANTIATE_TEST_SUITE_P(HostileValues, AdoRoundTripTest,
                         ::testing::Values("", "plain", "x;Database=master", "a;b;c;", ";", "it's",
                                           "say \"hi\"", "both ' and \"", "\"starts with quote",
                                           "'starts with apostrophe", "ends with quote\"", "a=b",
                                           "=starts", "==", "{braced}", "}", "{", " leading",
                                           "trailing ", "  both  ", "inner space", "\t", "ğüşİıöç",
                                           "Şifre;'\"= }{", "''", "\"\""));

TEST(AdoConnectionString, KeywordsIgnoreCaseAndSurroundingBlanks) {
  const ConnectionSettings settings = ParseAdoConnectionString(
      "  provider = SQLOLEDB ;  INITIAL CATALOG=E2017;data source= host\\I ; user id =u;"
      "PASSWORD= p ");
  EXPECT_EQ(settings.provider, "SQLOLEDB");
  EXPECT_EQ(settings.initial_catalog, "E2017");
  EXPECT_EQ(settings.data_source, "host\\I");
  EXPECT_EQ(settings.user_id, "u");
  EXPECT_EQ(settings.password, "p");
}

TEST(AdoConnectionString, ReadsOleDbQuoting) {
  struct Case {
    const char* text;
    const char* password;
  };
  for (const Case& c :
       {Case{"Password=\"a;b\"", "a;b"}, Case{"Password='a;b'", "a;b"},
        Case{"Password=\"it's\"", "it's"}, Case{"Password='say \"x\"'", "say \"x\""},
        Case{"Password=\"a\"\"b'c\"", "a\"b'c"}, Case{"Password='a''b'", "a'b"},
        Case{"Password=\" padded \" ;", " padded "}, Case{"Password=a=b", "a=b"},
        Case{"Password=", ""}, Case{"Password=first;Password=second", "second"}}) {
    EXPECT_EQ(ParseAdoConnectionString(c.text).password, c.password) << c.text;
  }
}

TEST(AdoConnectionString, SynonymsOfTheOdbcWorldAreRead) {
  const ConnectionSettings settings =
      ParseAdoConnectionString("Server=h;Database=d;UID=u;PWD=p;Connect Timeout=5");
  EXPECT_EQ(settings.data_source, "h");
  EXPECT_EQ(settings.initial_catalog, "d");
  EXPECT_EQ(settings.user_id, "u");
  EXPECT_EQ(settings.password, "p");
}

TEST(AdoConnectionString, MalformedStringsThrowWithoutShowingTheirText) {
  for (const char* text :
       {"Password=secret;word", "Password=\"secret", "Password=\"secret\"x", "justsecret"}) {
    try {
      ParseAdoConnectionString(text);
      ADD_FAILURE() << "no error for " << text;
    } catch (const DatabaseError& error) {
      EXPECT_EQ(std::string(error.what()).find("secret"), std::string::npos) << error.what();
      EXPECT_NE(std::string(error.what()).find("malformed"), std::string::npos) << error.what();
    }
  }
}

// ---- Data source ---------------------------------------------------------------------------

struct DataSourceCase {
  const char* text;
  const char* host;
  const char* instance;
  int port;
};

class DataSourceTest : public ::testing::TestWithParam<DataSourceCase> {};

TEST_P(DataSourceTest, SplitsHostInstanceAndPort) {
  const ServerAddress address = ParseDataSource(GetParam().text);
  EXPECT_EQ(address.host, GetParam().host);
  EXPECT_EQ(address.instance, GetParam().instance);
  EXPECT_EQ(address.port, GetParam().port);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, DataSourceTest,
    ::testing::Values(DataSourceCase{"dbserver", "dbserver", "", 0},
                      DataSourceCase{"dbserver\\SQLEXPRESS", "dbserver", "SQLEXPRESS", 0},
                      DataSourceCase{".\\SQLExpress", "127.0.0.1", "SQLExpress", 0},
                      DataSourceCase{"(local)\\SQLExpress", "127.0.0.1", "SQLExpress", 0},
                      DataSourceCase{"(LOCAL)", "127.0.0.1", "", 0},
                      DataSourceCase{"localhost,1433", "127.0.0.1", "", 1433},
                      DataSourceCase{".", "127.0.0.1", "", 0},
                      DataSourceCase{"10.0.0.5,14330", "10.0.0.5", "", 14330},
                      DataSourceCase{"tcp:10.0.0.5,1433", "10.0.0.5", "", 1433},
                      DataSourceCase{"TCP:db.example.com , 2000", "db.example.com", "", 2000},
                      DataSourceCase{"  host\\INST  ", "host", "INST", 0},
                      DataSourceCase{"host\\INST,1500", "host", "INST", 1500}));

TEST(DataSource, BadPortsAreRefusedByName) {
  for (const char* text : {"host,", "host,abc", "host,0", "host,65536", "host,12x"}) {
    try {
      ParseDataSource(text);
      ADD_FAILURE() << "no error for " << text;
    } catch (const DatabaseError& error) {
      EXPECT_NE(std::string(error.what()).find(text), std::string::npos) << error.what();
    }
  }
}

// ---- ODBC strings --------------------------------------------------------------------------

constexpr const char* kFreeTdsPath = "/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so";

TEST(OdbcConnectionString, FreeTdsGetsBracedValuesPortAndItsSettings) {
  EXPECT_EQ(
      BuildOdbcConnectionString(Settings("qolvanet", "sa", "E2017", "127.0.0.1,14330"), "FreeTDS"),
      "Driver={FreeTDS};Server={127.0.0.1};Port=14330;Database={E2017};UID={sa};"
      "PWD={qolvanet};TDS_Version=7.4;ClientCharset=UTF-8;");
}

TEST(OdbcConnectionString, FreeTdsResolvesLocalNamedInstanceThroughTheBrowser) {
  EXPECT_EQ(BuildOdbcConnectionString(Settings("p"), kFreeTdsPath),
            std::string("Driver={") + kFreeTdsPath +
                "};Server={127.0.0.1\\SQLExpress};Database={E2017};UID={sa};PWD={p};"
                "TDS_Version=7.4;ClientCharset=UTF-8;");
}

TEST(OdbcConnectionString, PasswordWithSemicolonStaysInsideItsBraces) {
  const std::string text = BuildOdbcConnectionString(Settings("x;Database=master"), "FreeTDS");
  EXPECT_NE(text.find("Database={E2017};"), std::string::npos) << text;
  EXPECT_NE(text.find("PWD={x;Database=master};"), std::string::npos) << text;
}

TEST(OdbcConnectionString, EmptyDatabaseIsLeftOut) {
  const std::string text = BuildOdbcConnectionString(Settings("p", "sa", ""), "FreeTDS");
  EXPECT_EQ(text.find("Database="), std::string::npos) << text;
}

TEST(OdbcConnectionString, MicrosoftDriver18TrustsTheServerLikeSqlOleDb) {
  EXPECT_EQ(BuildOdbcConnectionString(Settings("p}q", "sa", "E2017", "srv,1433"),
                                      "ODBC Driver 18 for SQL Server"),
            "Driver={ODBC Driver 18 for SQL Server};Server={tcp:srv,1433};Database={E2017};"
            "UID={sa};PWD={p}}q};Encrypt=Optional;TrustServerCertificate=yes;");
}

TEST(OdbcConnectionString, OlderMicrosoftDriversKeepTheAddressAsTyped) {
  for (const char* driver : {"ODBC Driver 17 for SQL Server", "SQL Server"}) {
    EXPECT_EQ(BuildOdbcConnectionString(Settings("p"), driver),
              std::string("Driver={") + driver +
                  "};Server={.\\SQLExpress};Database={E2017};UID={sa};PWD={p};");
  }
}

struct BraceCase {
  ConnectionSettings settings;
  const char* message;
};

TEST(OdbcConnectionString, FreeTdsRefusesABraceNamingTheSettingNotTheValue) {
  for (const BraceCase& c :
       {BraceCase{Settings("se}cret"),
                  "The password contains '}', which the FreeTDS ODBC driver cannot carry."},
        BraceCase{Settings("p", "us}er"),
                  "The user name contains '}', which the FreeTDS ODBC driver cannot carry."},
        BraceCase{Settings("p", "sa", "E}2017"),
                  "The database name contains '}', which the FreeTDS ODBC driver cannot carry."},
        BraceCase{Settings("p", "sa", "E2017", "h}st"),
                  "The server address contains '}', which the FreeTDS ODBC driver cannot "
                  "carry."}}) {
    for (const char* driver : {"FreeTDS", kFreeTdsPath}) {
      try {
        BuildOdbcConnectionString(c.settings, driver);
        ADD_FAILURE() << "no error for " << c.message;
      } catch (const DatabaseError& error) {
        EXPECT_STREQ(error.what(), c.message);
      }
    }
  }
}

TEST(OdbcConnectionString, NulCharacterIsRefusedForEveryDriver) {
  for (const char* driver : {"FreeTDS", "ODBC Driver 17 for SQL Server"}) {
    EXPECT_THROW(BuildOdbcConnectionString(Settings(std::string("a\0b", 3)), driver),
                 DatabaseError);
  }
}

TEST(RedactPassword, HidesPasswordInEveryForm) {
  struct Case {
    const char* text;
    const char* redacted;
  };
  for (const Case& c :
       {Case{"Driver={FreeTDS};UID={sa};PWD={x;Database=master};TDS_Version=7.4;",
             "Driver={FreeTDS};UID={sa};PWD=***;TDS_Version=7.4;"},
        Case{"UID=sa;pwd=plain;Server=h", "UID=sa;pwd=***;Server=h"},
        Case{"PWD={a}}b;c};Database={d};", "PWD=***;Database={d};"},
        Case{"Server=h;Password=tail", "Server=h;Password=***"}, Case{"Server=h", "Server=h"}}) {
    EXPECT_EQ(RedactPassword(c.text), c.redacted);
  }
}

}  // namespace
}  // namespace devir::db
