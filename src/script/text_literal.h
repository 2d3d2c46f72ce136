#pragma once

#include <string>
#include <string_view>

namespace devir::script {

/// A text value as a T-SQL string literal that stays on one line: in single quotes with
/// every quote doubled, 'O''Brien'; N'...' when unicode. A CR, LF or NUL inside the value is
/// written as CHAR(13), CHAR(10) or CHAR(0) (NCHAR for unicode) joined with "+":
/// 'a'+CHAR(13)+CHAR(10)+'b'.
/// A joined value too long for a non-max string (8000 bytes, 4000 unicode characters) starts
/// with an empty (n)varchar(max) so that SQL Server does not cut the concatenation short.
/// The empty text is ''. Input and output are UTF-8.
std::string TextLiteral(std::string_view utf8, bool unicode);

/// The same literal appended to out.
void AppendTextLiteral(std::string& out, std::string_view utf8, bool unicode);

}  // namespace devir::script
