#pragma once

#include <string>
#include <string_view>

namespace devir::target {

/// text as a T-SQL unicode string literal: N and single quotes, each single quote inside
/// doubled, so that no name or path can end the literal and change the statement, and every
/// letter reaches the server whatever its code page (a data folder in Cyrillic, say).
std::string QuoteSqlString(std::string_view text);

}  // namespace devir::target
