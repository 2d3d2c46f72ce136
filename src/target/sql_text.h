#pragma once

#include <string>
#include <string_view>

namespace devir::target {

/// text as a T-SQL string literal: in single quotes, each single quote inside doubled, so
/// that no name or path can end the literal and change the statement.
std::string QuoteSqlString(std::string_view text);

}  // namespace devir::target
