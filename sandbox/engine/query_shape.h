#pragma once

#include <optional>
#include <string>
#include <vector>

#include "sandbox/engine/statements.h"

namespace sandbox {

/// One item of a select list.
struct SelectItem {
  TokenRange expr;  ///< the expression without its alias
  std::string alias;
  bool has_alias = false;
  bool star = false;           ///< * or qualifier.*
  std::string star_qualifier;  ///< "ST" for ST.*; empty for *
  bool plain_column = false;   ///< a bare (possibly dotted) column name
};

/// A table source of a FROM clause.
struct FromSource {
  std::string exposed;   ///< alias, or the table's own name
  std::string database;  ///< three-part name's database; empty: current
  std::string schema;
  std::string table;                  ///< empty for a derived table
  std::optional<TokenRange> derived;  ///< the query of a derived table (SELECT ...)
  bool outer_nulls = false;           ///< an outer join may give its columns NULL
};

/// The parts of one query level (SELECT ... up to the end of that level).
struct QueryShape {
  size_t select_pos = 0;
  size_t list_begin = 0;  ///< first token of the select list (after DISTINCT / TOP)
  size_t list_end = 0;
  bool distinct = false;
  std::optional<TokenRange> top;  ///< the row count expression of TOP
  std::vector<SelectItem> items;
  std::vector<FromSource> sources;
};

/// Index of the token that closes the parenthesis opened at open (tokens[open] is "(").
size_t MatchingParen(const std::vector<Token>& tokens, size_t open, size_t end);

/// Index of the AS of CAST(value AS type) whose parentheses are tokens[open] and
/// tokens[close]: the last AS outside inner parentheses. Throws SqlError 102 when there is none.
size_t CastAs(const std::vector<Token>& tokens, size_t open, size_t close);

/// Analyses the query level that starts at tokens[select_pos] (SELECT) and ends before end.
/// Throws SqlError 102 for malformed TOP or select lists.
QueryShape AnalyzeQuery(const std::vector<Token>& tokens, size_t select_pos, size_t end);

/// The parts of a dotted name starting at i (names and empty parts of "db..t"); next
/// receives the index after it.
std::vector<std::string> NameChain(const std::vector<Token>& tokens, size_t i, size_t end,
                                   size_t* next);

}  // namespace sandbox
