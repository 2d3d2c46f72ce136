#include "sandbox/engine/parameters.h"

#include <charconv>

#include "sandbox/engine/convert.h"
#include "sandbox/engine/schema.h"
#include "sandbox/engine/sql_messages.h"
#include "sandbox/engine/sqlite_db.h"

namespace sandbox {
namespace {

using Kind = Token::Kind;

// The shortest text that reads back as the same double, as a float literal (with E).
std::string FloatLiteral(double value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  std::string text(buffer, result.ptr);
  const std::size_t e = text.find('e');
  if (e == std::string::npos) return text + "E0";
  text[e] = 'E';
  return text;
}

// The stored form of a date and time as ISO 8601 text, which every DATEFORMAT and language
// reads the same way: yyyymmdd for a date alone, a T between date and time.
std::string DateTimeLiteral(SqlType type, std::string text) {
  if (type == SqlType::Date && text.size() == 10) {
    return "'" + text.substr(0, 4) + text.substr(5, 2) + text.substr(8, 2) + "'";
  }
  if (type != SqlType::Time && text.size() > 10 && text[10] == ' ') text[10] = 'T';
  if (type == SqlType::DateTimeOffset) {
    const std::size_t blank = text.rfind(' ');
    if (blank != std::string::npos) text.erase(blank, 1);
  }
  return QuoteText(text);
}

std::string Literal(const ColumnType& type, const Value& value) {
  if (std::holds_alternative<std::monostate>(value)) return "NULL";
  if (const auto* i = std::get_if<std::int64_t>(&value)) return std::to_string(*i);
  if (const auto* d = std::get_if<double>(&value)) return FloatLiteral(*d);
  if (const auto* b = std::get_if<Blob>(&value)) return "0x" + HexUpper(b->bytes);
  const std::string& text = std::get<std::string>(value);
  switch (type.type) {
    case SqlType::Decimal:
    case SqlType::Numeric:
    case SqlType::Money:
    case SqlType::SmallMoney:
      return text;
    case SqlType::DateTime:
    case SqlType::SmallDateTime:
    case SqlType::Date:
    case SqlType::Time:
    case SqlType::DateTime2:
    case SqlType::DateTimeOffset:
      return DateTimeLiteral(type.type, text);
    case SqlType::Char:
    case SqlType::VarChar:
    case SqlType::Text:
    case SqlType::UniqueIdentifier:
      return QuoteText(text);
    default:
      return "N" + QuoteText(text);
  }
}

// A variable's name as the batch writes it and as @params declares it compare
// case-insensitively.
const BoundParameter* Find(const std::vector<BoundParameter>& parameters, const Token& token) {
  for (const BoundParameter& parameter : parameters) {
    if (EqualsNoCase(parameter.name, token.text)) return &parameter;
  }
  return nullptr;
}

}  // namespace

std::vector<ParameterDeclaration> ParseParameterDeclarations(const std::string& text) {
  const std::vector<Token> tokens = Tokenize(text);
  std::vector<ParameterDeclaration> out;
  std::size_t i = 0;
  auto fail = [&](const Token& token) {
    throw IncorrectSyntax(token.kind == Kind::kEnd ? std::string() : token.text, 1);
  };
  while (tokens[i].kind != Kind::kEnd) {
    if (tokens[i].kind != Kind::kVariable || tokens[i].text.rfind("@@", 0) == 0) fail(tokens[i]);
    ParameterDeclaration declaration;
    declaration.name = tokens[i++].text;
    if (tokens[i].IsWord("AS")) ++i;
    if (!tokens[i].IsName()) fail(tokens[i]);
    const std::string type_name =
        tokens[i].kind == Kind::kQuoted ? tokens[i].value : tokens[i].text;
    ++i;
    std::vector<std::string> args;
    if (tokens[i].IsOp("(")) {
      for (++i; !tokens[i].IsOp(")"); ++i) {
        if (tokens[i].kind == Kind::kNumber || tokens[i].IsWord("MAX")) {
          args.push_back(tokens[i].text);
        } else if (!tokens[i].IsOp(",")) {
          fail(tokens[i]);
        }
      }
      ++i;
    }
    std::optional<ColumnType> type = MakeColumnType(type_name, args, declaration.name);
    if (!type) throw UnknownType(static_cast<int>(out.size()) + 1, type_name);
    declaration.type = *type;
    if (tokens[i].IsWord("OUTPUT") || tokens[i].IsWord("OUT")) {
      declaration.output = true;
      ++i;
    }
    out.push_back(std::move(declaration));
    if (tokens[i].IsOp(",")) {
      ++i;
      if (tokens[i].kind == Kind::kEnd) fail(tokens[i - 1]);
    } else if (tokens[i].kind != Kind::kEnd) {
      fail(tokens[i]);
    }
  }
  return out;
}

std::string ParameterExpression(const BoundParameter& parameter) {
  return "CAST(" + Literal(parameter.sent, parameter.value) + " AS " +
         TypeToSql(parameter.declared) + ")";
}

std::vector<Token> BindParameters(const std::vector<Token>& tokens,
                                  const std::vector<BoundParameter>& parameters) {
  std::vector<Token> out;
  out.reserve(tokens.size());
  for (const Token& token : tokens) {
    const BoundParameter* parameter =
        token.kind == Kind::kVariable ? Find(parameters, token) : nullptr;
    if (!parameter) {
      out.push_back(token);
      continue;
    }
    std::vector<Token> expression = Tokenize(ParameterExpression(*parameter));
    expression.pop_back();  // kEnd
    for (std::size_t k = 0; k < expression.size(); ++k) {
      expression[k].line = token.line;
      expression[k].offset = token.offset;
      expression[k].parameter = k == 0;
      out.push_back(std::move(expression[k]));
    }
  }
  return out;
}

}  // namespace sandbox
