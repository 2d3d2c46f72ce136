#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "sandbox/engine/sql_types.h"
#include "sandbox/tds/wire.h"

namespace sandbox::tds {

/// DONE status bits.
inline constexpr std::uint16_t kDoneFinal = 0x00;
inline constexpr std::uint16_t kDoneMore = 0x01;
inline constexpr std::uint16_t kDoneError = 0x02;
inline constexpr std::uint16_t kDoneCount = 0x10;
inline constexpr std::uint16_t kDoneAttention = 0x20;

/// ENVCHANGE types this server sends.
enum class EnvChange : std::uint8_t {
  kDatabase = 1,
  kLanguage = 2,
  kPacketSize = 4,
  kCollation = 7,
  kBeginTransaction = 8,
  kCommitTransaction = 9,
  kRollbackTransaction = 10,
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
/// DONE token (7.2+: 64-bit row count).
void WriteDone(WireWriter& w, std::uint16_t status, std::uint64_t row_count);
/// COLMETADATA for a result set. Throws ValueError for a type it cannot describe.
void WriteColumnMetadata(WireWriter& w, const std::vector<ResultColumn>& columns);
/// ROW, or NBCROW when a value is NULL. Throws ValueError (having written nothing) when a
/// value does not fit its column.
void WriteRow(WireWriter& w, const std::vector<ResultColumn>& columns, const Row& row);

}  // namespace sandbox::tds
