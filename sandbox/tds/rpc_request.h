#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "sandbox/engine/procedure_call.h"

namespace sandbox::tds {

/// Parses an RPC request: one call, or several joined by batch separators; a procedure named
/// by its well-known id gets its name ("sp_executesql"). Parameter values come in the stored
/// form of the type they were sent as (sql_types.h). Throws ProtocolError for a malformed
/// message and ValueError (value_encoding.h) for a type or value this server cannot take.
std::vector<ProcedureCall> ParseRpcRequest(std::span<const std::uint8_t> payload,
                                           std::uint32_t tds_version);

}  // namespace sandbox::tds
