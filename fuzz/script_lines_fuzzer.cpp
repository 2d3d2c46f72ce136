// The script's line splitting: ForEachEntryLine gives pieces without breaks that rebuild the
// entry with the breaks between them; LineStandsAlone agrees with the stand-in's T-SQL lexer
// on whether a line leaves a string, quoted name or block comment open.
//
// Input: the entry (or line) as it stands.

#include <string>
#include <vector>

#include "db/script_runner.h"
#include "fuzz/fuzz_support.h"
#include "sandbox/engine/sql_error.h"
#include "sandbox/engine/tsql_lexer.h"
#include "script/line_text.h"

namespace {

using devir::fuzz::Escaped;

void CheckEntryLines(std::string_view entry) {
  std::vector<std::string_view> pieces;
  devir::script::ForEachEntryLine(entry, [&](std::string_view piece) { pieces.push_back(piece); });
  // Walks the entry: each piece where the last one's break ended, then a break (CR LF, CR or
  // LF), and no break left over after the last piece.
  std::size_t pos = 0;
  for (std::size_t k = 0; k < pieces.size(); ++k) {
    const std::string_view piece = pieces[k];
    FUZZ_CHECK(piece.find_first_of("\r\n") == std::string_view::npos, Escaped(piece));
    FUZZ_CHECK(entry.substr(pos, piece.size()) == piece,
               "piece " + std::to_string(k) + " of " + Escaped(entry));
    pos += piece.size();
    if (k + 1 == pieces.size()) break;
    FUZZ_CHECK(pos < entry.size() && (entry[pos] == '\r' || entry[pos] == '\n'),
               "no break after piece " + std::to_string(k) + " of " + Escaped(entry));
    pos += entry.substr(pos, 2) == "\r\n" ? 2 : 1;
  }
  FUZZ_CHECK(!pieces.empty() && pos == entry.size(), "pieces do not cover " + Escaped(entry));
}

// The stand-in's lexer fails on exactly the lines that leave something open: an unclosed
// quote (105) or comment (113).
bool LexerFindsItClosed(std::string_view line) {
  try {
    sandbox::Tokenize(line);
    return true;
  } catch (const sandbox::SqlError& error) {
    FUZZ_CHECK(error.number == 105 || error.number == 113,
               std::to_string(error.number) + " " + error.what());
    return false;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  CheckEntryLines(text);
  const bool alone = devir::db::LineStandsAlone(text);
  // A script line never holds a break (the lexer ends "--" comments at LF alone).
  if (text.find_first_of("\r\n") == std::string::npos) {
    FUZZ_CHECK(alone == LexerFindsItClosed(text), std::string(alone ? "stands alone" : "open") +
                                                      " by LineStandsAlone: " + Escaped(text));
  }
  return 0;
}
