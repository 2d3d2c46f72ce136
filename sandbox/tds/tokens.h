#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "sandbox/engine/sql_types.h"
#include "sandbox/tds/tds_version.h"
#include "sandbox/tds/wire.h"

namespace sandbox::tds {

/// DONE status bits.
inline constexpr std::uint16_t kDoneFinal = 0x00;
inline constexpr std::uint16_t kDoneMore = 0x01;
inline constexpr std::uint16_t kDoneError = 0x02;
inline constexpr std::uint16_t kDoneCount = 0x10;
inline constexpr std::uint16_t kDoneAttention = 0x20;

/// The three forms of DONE: a statement of a batch, the end of an RPC call, a statement
/// inside an RPC call.
inline constexpr std::uint8_t kDoneToken = 0xFD;
inline constexpr std::uint8_t kDoneProcToken = 0xFE;
inline constexpr std::uint8_t kDoneInProcToken = 0xFF;

/// ENVCHANGE types this server sends.
enum class EnvChange : std::uint8_t {
  kDatabase = 1,
  kLanguage = 2,
  kPacketSize = 4,
  kCollation = 7,
  kBeginTransaction = 8,
  kCommitTransaction = 9,
  kRollbackTransaction = 10,
  kResetConnection = 18,  ///< acknowledges the reset-connection flag; no values
};

/// One INFO or ERROR token's content.
struct ServerMessage {
  int number = 0;
  int state = 1;
  int severity = 0;  ///< class; 11 and above is an ERROR token
  std::string text;  ///< UTF-8
  std::string server;
  std::string procedure;
  int line = 1;
};

/// LOGINACK for the given TDS version ("Microsoft SQL Server" 16.0.1000).
void WriteLoginAck(WireWriter& w, std::uint32_t tds_version);
/// ENVCHANGE with text values (database, language, packet size).
void WriteEnvChange(WireWriter& w, EnvChange type, const std::string& new_value,
                    const std::string& old_value);
/// ENVCHANGE with binary values (collation, transaction descriptors).
void WriteEnvChangeBytes(WireWriter& w, EnvChange type, std::span<const std::uint8_t> new_value,
                         std::span<const std::uint8_t> old_value);
/// INFO (severity up to 10) or ERROR token.
void WriteMessage(WireWriter& w, const ServerMessage& message);
/// DONE, DONEPROC or DONEINPROC (token) with the statement's current command; the row
/// count is 64 bits from TDS 7.2 on, 32 before.
void WriteDone(WireWriter& w, std::uint16_t status, std::uint64_t row_count,
               std::uint16_t command = 0, std::uint8_t token = kDoneToken,
               std::uint32_t tds_version = kTds74);
/// RETURNSTATUS: a procedure's return value.
void WriteReturnStatus(WireWriter& w, std::int32_t status);
/// RETURNVALUE: an OUTPUT parameter's value after an RPC call. Throws ValueError (having
/// written nothing) when the value does not fit the type.
void WriteReturnValue(WireWriter& w, std::uint16_t ordinal, const std::string& name,
                      const ColumnType& type, const Value& value,
                      std::uint32_t tds_version = kTds74);
/// The columns as a client of this TDS version is sent them: before 7.3, date, time,
/// datetime2 and datetimeoffset as nvarchar of their literal length (the values are already
/// that text); before 7.2, the (max) types and xml as text, ntext and image.
std::vector<ResultColumn> ForClient(std::vector<ResultColumn> columns, std::uint32_t tds_version);
/// COLMETADATA for a result set (the user type is 16 bits before TDS 7.2). Throws ValueError
/// for a type it cannot describe.
void WriteColumnMetadata(WireWriter& w, const std::vector<ResultColumn>& columns,
                         std::uint32_t tds_version = kTds74);
/// ROW, or NBCROW when a value is NULL. Throws ValueError (having written nothing) when a
/// value does not fit its column.
void WriteRow(WireWriter& w, const std::vector<ResultColumn>& columns, const Row& row);

}  // namespace sandbox::tds
