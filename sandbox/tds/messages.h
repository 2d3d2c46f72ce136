#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "sandbox/tds/tds_version.h"
#include "sandbox/tds/wire.h"

namespace sandbox::tds {

/// The PRELOGIN options the server looks at.
struct PreloginRequest {
  std::uint8_t encryption = 0;
  std::string instance;  ///< INSTOPT, without its NUL
};

/// Parses a PRELOGIN payload. Throws ProtocolError on offsets outside it.
PreloginRequest ParsePrelogin(std::span<const std::uint8_t> payload);
/// The PRELOGIN answer: version 16.0.1000, encryption not supported, instance ok, no MARS.
Bytes PreloginReply();

/// What a LOGIN7 message asks for (texts UTF-8).
struct LoginRequest {
  std::uint32_t tds_version = 0;
  std::uint32_t packet_size = 0;
  std::string host_name;
  std::string user;
  std::string password;
  std::string app_name;
  std::string server_name;  ///< may hold a NUL ("127.0.0.1\0SQLEXPRESS")
  std::string library;
  std::string language;
  std::string database;
};

/// Parses a LOGIN7 payload and decodes the password. Throws ProtocolError when the fixed
/// part is short or a field lies outside the payload.
LoginRequest ParseLogin7(std::span<const std::uint8_t> payload);
/// Encodes a password as LOGIN7 carries it (swap nibbles, xor 0xA5); for tests and clients.
Bytes ScramblePassword(const std::string& utf8);

/// Skips the ALL_HEADERS that every request of TDS 7.2 and later starts with. Throws
/// ProtocolError on bad headers.
void SkipAllHeaders(WireReader& r, std::uint32_t tds_version);

/// Skips ALL_HEADERS (7.2 and later) and returns the batch text as UTF-8. Throws
/// ProtocolError on bad headers or an odd byte count.
std::string ParseSqlBatch(std::span<const std::uint8_t> payload, std::uint32_t tds_version);

/// A transaction manager request (packet type 0x0E).
struct TransactionRequest {
  enum class Kind : std::uint16_t {
    kBegin = 5,
    kCommit = 7,
    kRollback = 8,
    kSave = 9,
  };
  std::uint16_t kind = 0;    ///< one of Kind, or another request type this server refuses
  std::string name;          ///< the transaction's or savepoint's name (UTF-8), may be empty
  bool begin_after = false;  ///< commit/rollback with fBeginXact: start a new transaction
  std::string new_name;      ///< the name of that new transaction
};

/// Parses a transaction manager request; names are byte-counted UTF-16LE. Throws
/// ProtocolError when it is cut short or a name has an odd byte count.
TransactionRequest ParseTransactionRequest(std::span<const std::uint8_t> payload,
                                           std::uint32_t tds_version);

/// The name of a procedure an RPC request names by its well-known id (10: "sp_executesql").
std::string WellKnownProcedure(std::uint16_t id);

/// The procedure an RPC request names ("sp_executesql" for the well-known id 10); empty
/// when it cannot be read.
std::string RpcProcedureName(std::span<const std::uint8_t> payload, std::uint32_t tds_version);

}  // namespace sandbox::tds
