#pragma once

#include <string>
#include <vector>

#include "sandbox/engine/sql_types.h"

namespace sandbox {

/// One argument of a stored procedure call, typed as the caller sent it and in the stored
/// form of that type (sql_types.h).
struct ProcedureArgument {
  std::string name;  ///< "@stmt"; empty when given by position
  ColumnType type;
  Value value;
  bool output = false;      ///< OUTPUT: its value comes back after the call
  bool is_default = false;  ///< DEFAULT: the procedure's own default applies
};

/// A call of a stored procedure (an RPC request, or EXEC in a batch).
struct ProcedureCall {
  std::string procedure;  ///< as named, without database and schema ("sp_executesql")
  std::vector<ProcedureArgument> arguments;
};

}  // namespace sandbox
