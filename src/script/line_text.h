#pragma once

#include <functional>
#include <string_view>

namespace devir::script {

/// Calls `line` for each line that one entry of the transfer script becomes when the list's
/// line text (each entry followed by CR LF) is split again. A break is CR LF, a lone CR or a
/// lone LF (LF CR is two breaks with an empty line between them); two breaks in a row give an
/// empty line. An entry without breaks is one line; an entry that ends with a break gives an
/// empty last line; the empty entry is one empty line.
void ForEachEntryLine(std::string_view entry, const std::function<void(std::string_view)>& line);

/// True when text holds a CR or an LF. A scan at memory speed: every statement of the script
/// passes through it.
bool HasLineBreak(std::string_view text) noexcept;

}  // namespace devir::script
