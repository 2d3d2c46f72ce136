#include "sandbox/engine/query_shape.h"

#include <array>
#include <string_view>

#include "sandbox/engine/sql_messages.h"

namespace sandbox {
namespace {

using Kind = Token::Kind;

bool IsWordIn(const Token& token, std::initializer_list<std::string_view> words) {
  for (std::string_view word : words) {
    if (token.IsWord(word)) return true;
  }
  return false;
}

bool EndsSelectList(const Token& token) {
  return IsWordIn(token, {"FROM", "INTO", "WHERE", "GROUP", "HAVING", "ORDER", "UNION", "EXCEPT",
                          "INTERSECT", "OPTION", "FOR"});
}

bool EndsFrom(const Token& token) {
  return IsWordIn(token, {"WHERE", "GROUP", "HAVING", "ORDER", "UNION", "EXCEPT", "INTERSECT",
                          "OPTION", "FOR"});
}

bool IsAliasCandidate(const Token& token) {
  if (token.kind == Kind::kQuoted || token.kind == Kind::kString) return true;
  return token.kind == Kind::kWord && !IsReservedWord(token.text);
}

bool IsOperandEnd(const Token& token) {
  switch (token.kind) {
    case Kind::kNumber:
    case Kind::kString:
    case Kind::kNString:
    case Kind::kBinary:
    case Kind::kVariable:
    case Kind::kQuoted:
      return true;
    case Kind::kWord:
      return !IsReservedWord(token.text) || token.IsWord("END") || token.IsWord("NULL");
    case Kind::kOperator:
      return token.IsOp(")") || token.IsOp("*");
    default:
      return false;
  }
}

std::string NameOf(const Token& token) {
  return token.kind == Kind::kQuoted || token.kind == Kind::kString ? token.value : token.text;
}

SelectItem MakeItem(const std::vector<Token>& t, size_t b, size_t e) {
  SelectItem item;
  item.expr = {b, e};
  if (e == b) throw IncorrectSyntax(t[b].text, t[b].line);
  if (e - b == 1 && t[b].IsOp("*")) {
    item.star = true;
    return item;
  }
  if (e - b >= 3 && t[e - 1].IsOp("*") && t[e - 2].IsOp(".")) {
    item.star = true;
    item.star_qualifier = NameOf(t[e - 3]);
    return item;
  }
  if (e - b >= 3 && t[b].IsName() && t[b + 1].IsOp("=")) {
    item.alias = NameOf(t[b]);
    item.has_alias = true;
    item.expr = {b + 2, e};
  } else if (e - b >= 3 && t[e - 2].IsWord("AS") && IsAliasCandidate(t[e - 1])) {
    item.alias = NameOf(t[e - 1]);
    item.has_alias = true;
    item.expr = {b, e - 2};
  } else if (e - b >= 2 && IsAliasCandidate(t[e - 1]) && IsOperandEnd(t[e - 2]) &&
             !t[e - 2].IsOp("*")) {
    item.alias = NameOf(t[e - 1]);
    item.has_alias = true;
    item.expr = {b, e - 1};
    // "1 BOGUS STUFF": the expression already had its alias.
    if (e - 1 - b >= 2 && IsAliasCandidate(t[e - 2]) && IsOperandEnd(t[e - 3]) &&
        !t[e - 3].IsOp("*")) {
      throw IncorrectSyntax(NameOf(t[e - 1]), t[e - 1].line);
    }
  }
  // A bare column: names joined by dots only.
  bool plain = true;
  for (size_t i = item.expr.begin; i < item.expr.end; ++i) {
    bool expect_name = (i - item.expr.begin) % 2 == 0;
    if (expect_name ? !t[i].IsName() : !t[i].IsOp(".")) plain = false;
  }
  if ((item.expr.end - item.expr.begin) % 2 == 0) plain = false;
  if (plain && item.expr.end > item.expr.begin && item.expr.end < t.size() &&
      t[item.expr.end].IsOp("(")) {
    plain = false;
  }
  item.plain_column = plain;
  return item;
}

}  // namespace

size_t MatchingParen(const std::vector<Token>& tokens, size_t open, size_t end) {
  int depth = 0;
  for (size_t i = open; i < end; ++i) {
    if (tokens[i].IsOp("(")) ++depth;
    if (tokens[i].IsOp(")") && --depth == 0) return i;
  }
  const Token& last = tokens[end > 0 ? end - 1 : 0];
  throw IncorrectSyntax(last.text, last.line);
}

size_t CastAs(const std::vector<Token>& tokens, size_t open, size_t close) {
  int depth = 0;
  size_t as = close;
  for (size_t k = open + 1; k < close; ++k) {
    if (tokens[k].IsOp("(")) ++depth;
    if (tokens[k].IsOp(")")) --depth;
    if (depth == 0 && tokens[k].IsWord("AS")) as = k;
  }
  if (as == close) throw IncorrectSyntax(tokens[close].text, tokens[close].line);
  return as;
}

std::vector<std::string> NameChain(const std::vector<Token>& t, size_t i, size_t end,
                                   size_t* next) {
  std::vector<std::string> parts;
  parts.push_back(NameOf(t[i]));
  ++i;
  while (i + 1 < end + 1 && i < end && t[i].IsOp(".")) {
    if (i + 1 < end && t[i + 1].IsName()) {
      parts.push_back(NameOf(t[i + 1]));
      i += 2;
    } else if (i + 1 < end && t[i + 1].IsOp(".")) {
      parts.emplace_back();
      i += 1;
    } else {
      break;
    }
  }
  *next = i;
  return parts;
}

QueryShape AnalyzeQuery(const std::vector<Token>& t, size_t select_pos, size_t end) {
  QueryShape shape;
  shape.select_pos = select_pos;
  size_t i = select_pos + 1;
  if (i < end && t[i].IsWord("DISTINCT")) {
    shape.distinct = true;
    ++i;
  } else if (i < end && t[i].IsWord("ALL")) {
    ++i;
  }
  if (i < end && t[i].IsWord("TOP")) {
    ++i;
    if (i < end && t[i].IsOp("(")) {
      size_t close = MatchingParen(t, i, end);
      shape.top = TokenRange{i + 1, close};
      i = close + 1;
    } else if (i < end && (t[i].kind == Kind::kNumber || t[i].kind == Kind::kVariable)) {
      shape.top = TokenRange{i, i + 1};
      ++i;
    } else {
      throw IncorrectSyntax(i < end ? t[i].text : t[i - 1].text, t[i < end ? i : i - 1].line);
    }
    if (i < end && t[i].IsWord("PERCENT")) throw NotSupported("TOP PERCENT");
    if (i < end && t[i].IsWord("WITH") && i + 1 < end && t[i + 1].IsWord("TIES")) {
      throw NotSupported("TOP WITH TIES");
    }
  }
  shape.list_begin = i;
  int depth = 0;
  size_t item_begin = i;
  for (; i < end; ++i) {
    const Token& token = t[i];
    if (depth == 0 && EndsSelectList(token)) break;
    if (token.IsOp("(")) ++depth;
    if (token.IsOp(")")) --depth;
    if (depth == 0 && token.IsOp(",")) {
      shape.items.push_back(MakeItem(t, item_begin, i));
      item_begin = i + 1;
    }
  }
  shape.list_end = i;
  if (item_begin == i) {
    const Token& at = t[i < t.size() ? i : t.size() - 1];
    throw IncorrectSyntax(at.kind == Kind::kEnd ? t[i - 1].text : at.text, at.line);
  }
  shape.items.push_back(MakeItem(t, item_begin, i));
  if (i >= end || !t[i].IsWord("FROM")) return shape;
  ++i;
  // FROM sources, separated by commas and joins; ON conditions are skipped.
  bool expect_source = true;
  bool next_outer = false;
  depth = 0;
  while (i < end) {
    const Token& token = t[i];
    if (depth == 0 && EndsFrom(token)) break;
    if (expect_source && depth == 0) {
      FromSource source;
      if (token.IsOp("(")) {
        size_t close = MatchingParen(t, i, end);
        if (i + 1 < close && (t[i + 1].IsWord("SELECT") || t[i + 1].IsWord("WITH"))) {
          source.derived = TokenRange{i + 1, close};
        }
        i = close + 1;
      } else if (token.IsName()) {
        size_t next = i;
        std::vector<std::string> parts = NameChain(t, i, end, &next);
        source.table = parts.back();
        source.exposed = parts.back();
        if (parts.size() >= 2) source.schema = parts[parts.size() - 2];
        if (parts.size() >= 3) source.database = parts[parts.size() - 3];
        i = next;
      } else {
        ++i;
        continue;
      }
      if (i < end && t[i].IsWord("WITH") && i + 1 < end && t[i + 1].IsOp("(")) {
        i = MatchingParen(t, i + 1, end) + 1;
      }
      if (i < end && t[i].IsWord("AS")) ++i;
      if (i < end && t[i].IsName() &&
          !IsWordIn(t[i], {"ON", "JOIN", "INNER", "LEFT", "RIGHT", "FULL", "CROSS", "OUTER",
                           "WHERE", "GROUP", "ORDER", "HAVING", "UNION", "WITH", "APPLY", "EXCEPT",
                           "INTERSECT", "OPTION", "FOR"})) {
        source.exposed = NameOf(t[i]);
        ++i;
      }
      source.outer_nulls = next_outer;
      next_outer = false;
      shape.sources.push_back(std::move(source));
      expect_source = false;
      continue;
    }
    if (token.IsOp("(")) ++depth;
    if (token.IsOp(")")) --depth;
    if (depth == 0 && (token.IsOp(",") || token.IsWord("JOIN") || token.IsWord("APPLY"))) {
      expect_source = true;
    }
    // A LEFT join may leave the next source's columns NULL, a RIGHT join those before it,
    // FULL both.
    const bool join_kind =
        depth == 0 && i + 1 < end && (t[i + 1].IsWord("JOIN") || t[i + 1].IsWord("OUTER"));
    if (join_kind && (token.IsWord("LEFT") || token.IsWord("FULL"))) next_outer = true;
    if (join_kind && (token.IsWord("RIGHT") || token.IsWord("FULL"))) {
      for (FromSource& before : shape.sources) before.outer_nulls = true;
    }
    ++i;
  }
  return shape;
}

}  // namespace sandbox
