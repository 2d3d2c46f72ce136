#pragma once

#include <string>
#include <vector>

#include "sandbox/engine/sql_types.h"
#include "sandbox/engine/tsql_lexer.h"

namespace sandbox {

/// A parameter as the @params text of sp_executesql and sp_prepare declares it.
struct ParameterDeclaration {
  std::string name;  ///< "@P1"
  ColumnType type;
  bool output = false;
};

/// Parses a parameter list such as "@P1 int, @P2 nvarchar(50) OUTPUT". Throws SqlError 102
/// for bad syntax and 2715 for an unknown type.
std::vector<ParameterDeclaration> ParseParameterDeclarations(const std::string& text);

/// A declared parameter and the value the caller gave it, in the stored form of the type the
/// caller sent (sql_types.h).
struct BoundParameter {
  std::string name;
  ColumnType declared;
  ColumnType sent;
  Value value;
};

/// The value as a T-SQL expression of the declared type: CAST(<literal> AS <type>), the
/// literal written so that DATEFORMAT and LANGUAGE do not change what it means.
std::string ParameterExpression(const BoundParameter& parameter);

/// The batch's tokens with every reference to a bound parameter replaced by the tokens of
/// its expression, on the reference's line and marked as a parameter. Other variables stay.
std::vector<Token> BindParameters(const std::vector<Token>& tokens,
                                  const std::vector<BoundParameter>& parameters);

}  // namespace sandbox
