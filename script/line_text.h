#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace devir::script {

/// The entries of a text in line text form: a break is CR LF, a lone CR or a lone LF (LF CR
/// is two breaks with an empty entry between them); two breaks in a row give an empty entry;
/// a break at the very end makes no further entry; a last line without a break is an entry.
/// The empty text has no entries.
std::vector<std::string> SplitLines(std::string_view text);

/// The line text of a list: each entry followed by CR LF, the last one too; "" for none.
std::string JoinLines(const std::vector<std::string>& lines);

/// Calls `line` for each entry of SplitLines(text).
void ForEachLine(std::string_view text, const std::function<void(std::string_view)>& line);

/// Calls `line` for each line that one list entry becomes when the list's line text is split
/// again: SplitLines(entry + CR LF). An entry without breaks is one line; an entry that ends
/// with a break gives an empty last line; the empty entry is one empty line.
void ForEachEntryLine(std::string_view entry, const std::function<void(std::string_view)>& line);

}  // namespace devir::script
