// The stand-in's token writer on any message text, any column the engine can declare and any
// value: a length-prefixed token's length is the size of what follows it, a value that
// does not fit its column throws ValueError having written nothing, and nothing else escapes.
//
// Input: a part byte; for messages the number, state, severity, text length (2 bytes) and
// text pattern, server and procedure names; for rows the column count, each column's type,
// name and arguments, then each value's kind and contents.

#include <array>
#include <cstring>
#include <limits>
#include <optional>

#include "fuzz/fuzz_support.h"
#include "sandbox/engine/schema.h"
#include "sandbox/engine/sql_error.h"
#include "sandbox/tds/tokens.h"
#include "sandbox/tds/value_encoding.h"

namespace {

using devir::fuzz::FuzzInput;
using namespace sandbox;
using namespace sandbox::tds;

// A text of the given length in bytes made of a repeated pattern, so that short inputs reach
// the long texts (a whole batch quoted back in an error message) where lengths overflow.
std::string Repeated(const std::string& pattern, std::size_t length) {
  if (pattern.empty()) return std::string(length, 'x');
  std::string out;
  out.reserve(length);
  while (out.size() < length) out += pattern;
  out.resize(length);
  return out;
}

// The token type byte, then the u16 length of the rest.
void CheckLengthPrefixed(const Bytes& token, const char* what) {
  FUZZ_CHECK(token.size() >= 3, what);
  const std::size_t length = static_cast<std::size_t>(token[1] | (token[2] << 8));
  FUZZ_CHECK(length == token.size() - 3, std::string(what) + ": length field " +
                                             std::to_string(length) + ", " +
                                             std::to_string(token.size() - 3) + " bytes follow");
}

void WriteMessages(FuzzInput& in) {
  ServerMessage message;
  message.number = static_cast<int>(in.Unsigned(4));
  message.state = in.Byte();
  message.severity = in.Byte() % 26;
  const auto length = static_cast<std::size_t>(in.Unsigned(2));
  message.text = Repeated(in.ShortText(), length);
  const auto server_length = static_cast<std::size_t>(in.Unsigned(2));
  message.server = Repeated(in.ShortText(), server_length);
  message.procedure = in.ShortText();
  message.line = static_cast<int>(in.Unsigned(4));
  Bytes token;
  WireWriter w(token);
  WriteMessage(w, message);
  CheckLengthPrefixed(token, message.severity > 10 ? "ERROR" : "INFO");

  Bytes env;
  WireWriter e(env);
  WriteEnvChange(e, EnvChange::kDatabase, message.server, message.procedure);
  CheckLengthPrefixed(env, "ENVCHANGE");
}

// A column type as the engine makes one from a declaration: a type name and up to two
// arguments (a number or "max"); nullopt where the engine refuses it.
std::optional<ColumnType> AnyType(FuzzInput& in) {
  static constexpr std::array kNames = {"tinyint",
                                        "smallint",
                                        "int",
                                        "bigint",
                                        "bit",
                                        "real",
                                        "float",
                                        "money",
                                        "smallmoney",
                                        "decimal",
                                        "numeric",
                                        "datetime",
                                        "smalldatetime",
                                        "date",
                                        "time",
                                        "datetime2",
                                        "datetimeoffset",
                                        "char",
                                        "varchar",
                                        "nchar",
                                        "nvarchar",
                                        "text",
                                        "ntext",
                                        "xml",
                                        "binary",
                                        "varbinary",
                                        "image",
                                        "timestamp",
                                        "uniqueidentifier",
                                        "sysname"};
  const char* name = kNames[in.Byte() % kNames.size()];
  std::vector<std::string> args(in.Byte() % 3);
  for (std::string& arg : args) {
    arg = in.Bit() ? "max" : std::to_string(in.InRange(-1, 9000));
  }
  try {
    return MakeColumnType(name, args, "C");
  } catch (const SqlError&) {
    return std::nullopt;
  }
}

Value AnyValue(FuzzInput& in) {
  switch (in.Byte() % 5) {
    case 0:
      return std::monostate{};
    case 1:
      return static_cast<std::int64_t>(in.Unsigned(8));
    case 2: {
      const std::uint64_t bits = in.Unsigned(8);
      double d = 0;
      std::memcpy(&d, &bits, sizeof d);
      return d;
    }
    case 3:
      return in.ShortText();
    default:
      return Blob{in.ShortText()};
  }
}

void WriteRows(FuzzInput& in) {
  std::vector<ResultColumn> columns(1 + in.Byte() % 8);
  for (ResultColumn& column : columns) {
    column.name = in.ShortText();
    const std::optional<ColumnType> type = AnyType(in);
    if (!type) return;
    column.type = *type;
  }
  Bytes metadata;
  WireWriter m(metadata);
  try {
    WriteColumnMetadata(m, columns);
  } catch (const ValueError&) {
    return;  // the connection refuses such a result before any row
  }
  while (!in.Empty()) {
    Row row;
    for (std::size_t i = 0; i < columns.size(); ++i) row.push_back(AnyValue(in));
    Bytes out = {0xFD};
    WireWriter w(out);
    try {
      WriteRow(w, columns, row);
      FUZZ_CHECK(out.size() > 2, "an empty row token");
    } catch (const ValueError&) {
      FUZZ_CHECK(out.size() == 1,
                 "a refused row left " + std::to_string(out.size() - 1) + " bytes");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput in(data, size);
  if (in.Bit()) {
    WriteMessages(in);
  } else {
    WriteRows(in);
  }
  return 0;
}
