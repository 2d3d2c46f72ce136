#include <array>
#include <string_view>

#include "sandbox/engine/sql_messages.h"
#include "sandbox/engine/statements.h"

namespace sandbox {
namespace {

using Kind = Token::Kind;

constexpr std::array<std::string_view, 46> kStatementWords = {
    "SELECT",     "INSERT", "UPDATE", "DELETE",   "CREATE",      "DROP",    "ALTER",   "TRUNCATE",
    "SET",        "BEGIN",  "COMMIT", "ROLLBACK", "SAVE",        "EXEC",    "EXECUTE", "USE",
    "IF",         "ELSE",   "WHILE",  "PRINT",    "DECLARE",     "RETURN",  "END",     "RAISERROR",
    "THROW",      "GRANT",  "REVOKE", "DENY",     "DBCC",        "BACKUP",  "RESTORE", "CHECKPOINT",
    "KILL",       "GOTO",   "BREAK",  "CONTINUE", "WAITFOR",     "FETCH",   "OPEN",    "CLOSE",
    "DEALLOCATE", "MERGE",  "WITH",   "GO",       "RECONFIGURE", "SHUTDOWN"};

// Statements T-SQL has that the stand-in does not run.
constexpr std::array<std::string_view, 21> kUnsupportedWords = {
    "ALTER",    "WHILE", "DECLARE",    "RETURN",  "THROW", "GRANT",      "REVOKE",
    "DENY",     "DBCC",  "BACKUP",     "RESTORE", "KILL",  "GOTO",       "BREAK",
    "CONTINUE", "FETCH", "CHECKPOINT", "OPEN",    "CLOSE", "DEALLOCATE", "MERGE"};

bool InList(const Token& token, const auto& list) {
  if (token.kind != Kind::kWord) return false;
  for (std::string_view word : list) {
    if (EqualsNoCase(token.text, word)) return true;
  }
  return false;
}

class Parser {
 public:
  explicit Parser(const std::vector<Token>& tokens) : t_(tokens) {}

  std::vector<StatementPtr> Parse() {
    std::vector<StatementPtr> out;
    while (!AtEnd()) {
      if (Peek().IsOp(";")) {
        ++pos_;
        continue;
      }
      int line = Peek().line;
      try {
        out.push_back(ParseStatement());
        EndOfStatement();
      } catch (SqlError& error) {
        if (error.line == 0) error.line = line;
        throw;
      }
    }
    return out;
  }

 private:
  const Token& Peek(size_t ahead = 0) const {
    size_t i = pos_ + ahead;
    return i < t_.size() ? t_[i] : t_.back();
  }
  bool AtEnd() const { return Peek().kind == Kind::kEnd; }
  const Token& Take() {
    const Token& token = Peek();
    if (token.kind != Kind::kEnd) ++pos_;
    return token;
  }

  [[noreturn]] void Fail(const Token& token) const {
    if (token.kind == Kind::kEnd) {
      // SQL Server names the last token of an incomplete batch.
      const Token& last = t_.size() >= 2 ? t_[t_.size() - 2] : token;
      throw IncorrectSyntax(last.kind == Kind::kString ? last.value : last.text, last.line);
    }
    throw IncorrectSyntax(
        token.kind == Kind::kString || token.kind == Kind::kNString ? token.value : token.text,
        token.line);
  }
  [[noreturn]] void Fail() const { Fail(Peek()); }

  void ExpectWord(std::string_view word) {
    if (!Peek().IsWord(word)) Fail();
    ++pos_;
  }
  void ExpectOp(std::string_view op) {
    if (!Peek().IsOp(op)) Fail();
    ++pos_;
  }
  bool AcceptWord(std::string_view word) {
    if (!Peek().IsWord(word)) return false;
    ++pos_;
    return true;
  }
  bool AcceptOp(std::string_view op) {
    if (!Peek().IsOp(op)) return false;
    ++pos_;
    return true;
  }

  bool IsStatementStart(size_t i) const {
    const Token& token = t_[i];
    if (!InList(token, kStatementWords)) return false;
    if (token.IsWord("SELECT") && i > 0) {
      const Token& prev = t_[i - 1];
      if (prev.IsWord("UNION") || prev.IsWord("ALL") || prev.IsWord("EXCEPT") ||
          prev.IsWord("INTERSECT")) {
        return false;
      }
    }
    if (token.IsWord("WITH")) {
      const Token& next = i + 1 < t_.size() ? t_[i + 1] : t_.back();
      if (next.IsOp("(") || next.IsWord("TIES") || next.IsWord("CHECK") || next.IsWord("NOCHECK") ||
          next.IsWord("ROLLUP") || next.IsWord("CUBE")) {
        return false;
      }
    }
    return true;
  }

  // End of a free expression or clause starting at i: a ';', an unbalanced ')', the end,
  // a word that starts the next statement, or (stop_at_comma) a ',' at depth 0, or one of
  // the extra stop words.
  size_t ScanEnd(size_t i, bool stop_at_comma, std::initializer_list<std::string_view> stops = {}) {
    int depth = 0;
    int case_depth = 0;
    for (;; ++i) {
      const Token& token = t_[i];
      if (token.kind == Kind::kEnd) return i;
      if (depth == 0) {
        if (token.IsOp(";") || token.IsOp(")")) return i;
        if (stop_at_comma && token.IsOp(",")) return i;
        if (token.kind == Kind::kWord && case_depth == 0) {
          if (IsStatementStart(i)) return i;
          for (std::string_view stop : stops) {
            if (token.IsWord(stop)) return i;
          }
        }
      }
      if (token.IsOp("(")) {
        ++depth;
      } else if (token.IsOp(")")) {
        --depth;
      } else if (token.IsWord("CASE")) {
        ++case_depth;
      } else if (token.IsWord("END") && case_depth > 0) {
        --case_depth;
      }
    }
  }

  TokenRange Expression(bool stop_at_comma, std::initializer_list<std::string_view> stops = {}) {
    size_t begin = pos_;
    size_t end = ScanEnd(pos_, stop_at_comma, stops);
    if (end == begin) Fail(t_[end]);
    if (end > begin + 1 && !t_[end - 1].IsOp(")") && t_[end - 1].kind == Kind::kOperator &&
        !t_[end - 1].IsOp("*")) {
      Fail(t_[end - 1]);
    }
    pos_ = end;
    return {begin, end};
  }

  void EndOfStatement() {
    if (AcceptOp(";")) return;
    if (AtEnd() || IsStatementStart(pos_)) return;
    Fail();
  }

  std::string Name() {
    const Token& token = Peek();
    if (!token.IsName()) Fail();
    ++pos_;
    return token.kind == Kind::kQuoted ? token.value : token.text;
  }

  ObjectName ParseObjectName() {
    std::vector<std::string> parts;
    parts.push_back(Name());
    while (Peek().IsOp(".")) {
      ++pos_;
      if (Peek().IsOp(".")) {
        parts.emplace_back();  // db..table
        continue;
      }
      parts.push_back(Name());
    }
    if (parts.size() > 3) Fail(t_[pos_ - 1]);
    ObjectName name;
    name.name = parts.back();
    if (parts.size() >= 2) name.schema = parts[parts.size() - 2];
    if (parts.size() == 3) name.database = parts[0];
    for (size_t i = 0; i < parts.size(); ++i) {
      if (i) name.written += '.';
      name.written += parts[i];
    }
    return name;
  }

  std::vector<std::string> ColumnList(bool allow_order) {
    std::vector<std::string> columns;
    ExpectOp("(");
    do {
      columns.push_back(Name());
      if (allow_order && !AcceptWord("ASC")) AcceptWord("DESC");
    } while (AcceptOp(","));
    ExpectOp(")");
    return columns;
  }

  StatementPtr ParseStatement() {
    if (++nesting_ > kMaxNesting) throw NestedTooDeeply();
    struct Leave {
      int& depth;
      ~Leave() { --depth; }
    } leave{nesting_};
    auto statement = std::make_shared<Statement>();
    const Token& first = Peek();
    statement->line = first.line;
    statement->first_token = pos_;
    bool first_of_batch = pos_ == 0;
    if (first.IsWord("SELECT")) {
      statement->body = ParseSelect();
    } else if (first.IsWord("WITH")) {
      statement->body = ParseWith();
    } else if (first.IsWord("INSERT")) {
      statement->body = ParseInsert();
    } else if (first.IsWord("UPDATE")) {
      statement->body = ParseUpdate();
    } else if (first.IsWord("DELETE")) {
      statement->body = ParseDelete();
    } else if (first.IsWord("TRUNCATE")) {
      ++pos_;
      ExpectWord("TABLE");
      DeleteStatement del;
      del.table = ParseObjectName();
      del.truncate = true;
      statement->body = del;
    } else if (first.IsWord("CREATE")) {
      ParseCreate(*statement);
    } else if (first.IsWord("DROP")) {
      ParseDrop(*statement);
    } else if (first.IsWord("USE")) {
      ++pos_;
      statement->body = UseStatement{Name()};
    } else if (first.IsWord("SET")) {
      statement->body = ParseSet();
    } else if (first.IsWord("BEGIN")) {
      ++pos_;
      if (AcceptWord("TRAN") || AcceptWord("TRANSACTION")) {
        statement->body =
            TransactionStatement{TransactionStatement::Kind::kBegin, TransactionName()};
      } else if (Peek().IsWord("TRY") || Peek().IsWord("DISTRIBUTED")) {
        throw NotSupported("BEGIN " + Peek().text);
      } else {
        BlockStatement block;
        while (!Peek().IsWord("END")) {
          if (AtEnd()) Fail();
          if (AcceptOp(";")) continue;
          block.body.push_back(ParseStatement());
          EndOfStatement();
        }
        ++pos_;
        statement->body = std::move(block);
      }
    } else if (first.IsWord("COMMIT") || first.IsWord("ROLLBACK")) {
      ++pos_;
      if (!AcceptWord("TRAN") && !AcceptWord("TRANSACTION")) AcceptWord("WORK");
      statement->body =
          TransactionStatement{first.IsWord("COMMIT") ? TransactionStatement::Kind::kCommit
                                                      : TransactionStatement::Kind::kRollback,
                               TransactionName()};
    } else if (first.IsWord("SAVE")) {
      ++pos_;
      if (!AcceptWord("TRAN")) ExpectWord("TRANSACTION");
      TransactionStatement save{TransactionStatement::Kind::kSave, TransactionName()};
      if (save.name.empty()) Fail();
      statement->body = save;
    } else if (first.IsWord("EXEC") || first.IsWord("EXECUTE")) {
      ++pos_;
      statement->body = ParseExec();
    } else if (first.IsWord("PRINT")) {
      ++pos_;
      statement->body = PrintStatement{Expression(false)};
    } else if (first.IsWord("RAISERROR")) {
      ++pos_;
      statement->body = ParseRaiseError();
    } else if (first.IsWord("WAITFOR")) {
      ++pos_;
      if (!Peek().IsWord("DELAY")) throw NotSupported("WAITFOR " + Upper(Peek().text));
      ++pos_;
      statement->body = WaitForStatement{Expression(false)};
    } else if (first.IsWord("IF")) {
      ++pos_;
      IfStatement branch;
      branch.condition = Expression(false);
      branch.then_branch.push_back(ParseStatement());
      AcceptOp(";");
      if (AcceptWord("ELSE")) branch.else_branch.push_back(ParseStatement());
      statement->body = std::move(branch);
    } else if (InList(first, kUnsupportedWords)) {
      throw NotSupported(Upper(first.text));
    } else if (first_of_batch && first.IsName() && !IsReservedWord(first.text)) {
      // A batch may start with a procedure name without EXEC.
      statement->body = ParseExec();
    } else {
      Fail();
    }
    return statement;
  }

  SelectStatement ParseSelect() {
    size_t begin = pos_;
    ++pos_;
    size_t end = ScanEnd(pos_, false);
    if (t_[end].IsOp(")")) Fail(t_[end]);
    FailOnDanglingOperator(begin, end);
    pos_ = end;
    return SelectStatement{{begin, end}};
  }

  // An expression cannot end in an operator: SQL Server names the operator ("SELECT 1 +").
  void FailOnDanglingOperator(size_t begin, size_t end) const {
    if (end <= begin + 1) return;
    const Token& last = t_[end - 1];
    static constexpr std::string_view kBinary[] = {
        "+", "-", "/", "%", "=", "<", ">", "<=", ">=", "<>", "!=", "&", "|", "^", ","};
    for (std::string_view op : kBinary) {
      if (last.IsOp(op)) Fail(last);
    }
  }

  // The optional name after BEGIN/COMMIT/ROLLBACK TRANSACTION.
  std::string TransactionName() {
    if (!Peek().IsName() || IsStatementStart(pos_)) return {};
    return Name();
  }

  RaiseErrorStatement ParseRaiseError() {
    RaiseErrorStatement raise;
    ExpectOp("(");
    do {
      raise.args.push_back(Expression(true));
    } while (AcceptOp(","));
    ExpectOp(")");
    if (raise.args.size() < 3) Fail(t_[pos_ - 1]);
    if (AcceptWord("WITH")) {
      do {
        if (AcceptWord("LOG")) {
          raise.log = true;
        } else if (AcceptWord("SETERROR")) {
          raise.set_error = true;
        } else if (!AcceptWord("NOWAIT")) {
          Fail();
        }
      } while (AcceptOp(","));
    }
    return raise;
  }

  // WITH name [(cols)] AS (query) [, ...] SELECT ...
  SelectStatement ParseWith() {
    size_t begin = pos_;
    ++pos_;
    do {
      Name();
      if (Peek().IsOp("(")) ColumnList(false);
      ExpectWord("AS");
      ExpectOp("(");
      size_t end = ScanEnd(pos_, false);
      while (!t_[end].IsOp(")")) {
        if (t_[end].kind == Kind::kEnd || t_[end].IsOp(";")) Fail(t_[end]);
        end = ScanEnd(end + 1, false);
      }
      pos_ = end;
      ExpectOp(")");
    } while (AcceptOp(","));
    if (!Peek().IsWord("SELECT")) Fail();
    SelectStatement select = ParseSelect();
    select.range.begin = begin;
    return select;
  }

  InsertStatement ParseInsert() {
    ++pos_;
    AcceptWord("INTO");
    InsertStatement insert;
    insert.table = ParseObjectName();
    if (Peek().IsOp("(")) insert.columns = ColumnList(false);
    if (AcceptWord("DEFAULT")) {
      ExpectWord("VALUES");
      insert.default_values = true;
      return insert;
    }
    if (Peek().IsWord("SELECT")) {
      insert.select = ParseSelect().range;
      return insert;
    }
    ExpectWord("VALUES");
    do {
      ExpectOp("(");
      std::vector<TokenRange> row;
      do {
        row.push_back(Expression(true));
      } while (AcceptOp(","));
      ExpectOp(")");
      insert.rows.push_back(std::move(row));
    } while (AcceptOp(","));
    if (insert.rows.size() > 1000) throw TooManyRowValues();
    for (const auto& row : insert.rows) {
      if (row.size() != insert.rows[0].size()) throw RowValueCountMismatch();
    }
    if (!insert.columns.empty()) {
      size_t values = insert.rows[0].size();
      if (insert.columns.size() > values) throw MoreColumnsThanValues();
      if (insert.columns.size() < values) throw FewerColumnsThanValues();
    }
    return insert;
  }

  void SkipTableHints() {
    if (Peek().IsWord("WITH") && Peek(1).IsOp("(")) {
      ++pos_;
      ExpectOp("(");
      while (!AcceptOp(")")) {
        if (AtEnd()) Fail();
        ++pos_;
      }
    }
  }

  UpdateStatement ParseUpdate() {
    ++pos_;
    UpdateStatement update;
    update.table = ParseObjectName();
    SkipTableHints();
    ExpectWord("SET");
    do {
      std::string column = Name();
      while (AcceptOp(".")) column = Name();
      ExpectOp("=");
      update.assignments.emplace_back(column, Expression(true, {"WHERE", "FROM"}));
    } while (AcceptOp(","));
    if (Peek().IsWord("FROM")) throw NotSupported("UPDATE ... FROM");
    if (AcceptWord("WHERE")) update.where = Expression(false);
    return update;
  }

  DeleteStatement ParseDelete() {
    ++pos_;
    AcceptWord("FROM");
    DeleteStatement del;
    del.table = ParseObjectName();
    SkipTableHints();
    if (AcceptWord("WHERE")) del.where = Expression(false);
    return del;
  }

  void ParseCreate(Statement& statement) {
    ++pos_;
    if (AcceptWord("TABLE")) {
      statement.body = ParseCreateTable();
      return;
    }
    if (AcceptWord("DATABASE")) {
      CreateDatabaseStatement create{Name()};
      if (Peek().IsWord("ON") || Peek().IsWord("COLLATE") || Peek().IsWord("LOG") ||
          Peek().IsWord("FOR")) {
        throw NotSupported("CREATE DATABASE " + Upper(Peek().text));
      }
      statement.body = create;
      return;
    }
    CreateIndexStatement index;
    if (AcceptWord("UNIQUE")) index.unique = true;
    if (!AcceptWord("CLUSTERED")) AcceptWord("NONCLUSTERED");
    if (!AcceptWord("INDEX")) {
      if (Peek().IsWord("VIEW") || Peek().IsWord("PROCEDURE") || Peek().IsWord("PROC") ||
          Peek().IsWord("FUNCTION") || Peek().IsWord("TRIGGER") || Peek().IsWord("SCHEMA") ||
          Peek().IsWord("LOGIN") || Peek().IsWord("USER") || Peek().IsWord("TYPE")) {
        throw NotSupported("CREATE " + Upper(Peek().text));
      }
      Fail();
    }
    index.name = Name();
    ExpectWord("ON");
    index.table = ParseObjectName();
    index.columns = ColumnList(true);
    if (AcceptWord("INCLUDE")) ColumnList(false);
    if (AcceptWord("WITH")) {
      ExpectOp("(");
      int depth = 1;
      while (depth > 0) {
        if (AtEnd()) Fail();
        if (Peek().IsOp("(")) ++depth;
        if (Peek().IsOp(")")) --depth;
        ++pos_;
      }
    }
    if (AcceptWord("ON")) Name();  // filegroup
    statement.body = std::move(index);
  }

  void SkipParenthesised() {
    ExpectOp("(");
    int depth = 1;
    while (depth > 0) {
      if (AtEnd()) Fail();
      if (Peek().IsOp("(")) ++depth;
      if (Peek().IsOp(")")) --depth;
      ++pos_;
    }
  }

  KeyClause ParseTableKey(std::string name) {
    KeyClause key;
    key.name = std::move(name);
    if (AcceptWord("PRIMARY")) {
      ExpectWord("KEY");
      key.primary = true;
    } else {
      ExpectWord("UNIQUE");
    }
    if (!AcceptWord("CLUSTERED")) AcceptWord("NONCLUSTERED");
    key.columns = ColumnList(true);
    return key;
  }

  void SkipForeignKey() {
    ExpectWord("FOREIGN");
    ExpectWord("KEY");
    ColumnList(false);
    SkipReferences();
  }

  void SkipReferences() {
    ExpectWord("REFERENCES");
    ParseObjectName();
    if (Peek().IsOp("(")) ColumnList(false);
    while (AcceptWord("ON")) {
      if (!AcceptWord("DELETE")) ExpectWord("UPDATE");
      if (AcceptWord("NO")) {
        ExpectWord("ACTION");
      } else if (AcceptWord("SET")) {
        if (!AcceptWord("NULL")) ExpectWord("DEFAULT");
      } else {
        ExpectWord("CASCADE");
      }
    }
  }

  long long SignedInteger() {
    bool negative = AcceptOp("-");
    if (!negative) AcceptOp("+");
    const Token& token = Peek();
    if (token.kind != Kind::kNumber) Fail();
    ++pos_;
    try {
      long long value = std::stoll(token.text);
      return negative ? -value : value;
    } catch (const std::exception&) {
      Fail(token);
    }
  }

  ColumnClause ParseColumn() {
    ColumnClause column;
    column.name = Name();
    const Token& type = Peek();
    if (!type.IsName()) Fail();
    ++pos_;
    column.type_name = type.kind == Kind::kQuoted ? type.value : type.text;
    if (Peek().IsWord("VARYING") || Peek().IsWord("PRECISION")) Fail();
    if (AcceptOp("(")) {
      do {
        const Token& arg = Peek();
        if (arg.kind != Kind::kNumber && !arg.IsWord("MAX")) Fail();
        column.type_args.push_back(arg.text);
        ++pos_;
      } while (AcceptOp(","));
      ExpectOp(")");
    }
    while (true) {
      std::string constraint;
      if (AcceptWord("CONSTRAINT")) constraint = Name();
      if (AcceptWord("NULL")) {
        column.nullable = true;
      } else if (AcceptWord("NOT")) {
        ExpectWord("NULL");
        column.nullable = false;
      } else if (AcceptWord("IDENTITY")) {
        column.identity = true;
        if (AcceptOp("(")) {
          column.identity_seed = SignedInteger();
          ExpectOp(",");
          column.identity_increment = SignedInteger();
          ExpectOp(")");
        }
      } else if (AcceptWord("PRIMARY")) {
        ExpectWord("KEY");
        if (!AcceptWord("CLUSTERED")) AcceptWord("NONCLUSTERED");
        column.primary_key = true;
        column.constraint_name = constraint;
      } else if (AcceptWord("UNIQUE")) {
        if (!AcceptWord("CLUSTERED")) AcceptWord("NONCLUSTERED");
        column.unique = true;
        if (!constraint.empty()) column.constraint_name = constraint;
      } else if (AcceptWord("DEFAULT")) {
        column.default_expr = Expression(true, {"NOT", "NULL", "PRIMARY", "UNIQUE", "CONSTRAINT",
                                                "IDENTITY", "CHECK", "REFERENCES", "COLLATE"});
      } else if (AcceptWord("COLLATE")) {
        Name();
      } else if (AcceptWord("CHECK")) {
        SkipParenthesised();
      } else if (Peek().IsWord("REFERENCES")) {
        SkipReferences();
      } else if (AcceptWord("ROWGUIDCOL") || AcceptWord("SPARSE")) {
      } else if (!constraint.empty()) {
        Fail();
      } else {
        break;
      }
    }
    return column;
  }

  CreateTableStatement ParseCreateTable() {
    CreateTableStatement create;
    create.table = ParseObjectName();
    ExpectOp("(");
    do {
      if (Peek().IsOp(")")) break;  // trailing comma is accepted by SQL Server
      if (AcceptWord("CONSTRAINT")) {
        std::string name = Name();
        if (Peek().IsWord("FOREIGN")) {
          SkipForeignKey();
        } else if (AcceptWord("CHECK")) {
          SkipParenthesised();
        } else {
          create.keys.push_back(ParseTableKey(name));
        }
      } else if (Peek().IsWord("PRIMARY") || Peek().IsWord("UNIQUE")) {
        create.keys.push_back(ParseTableKey({}));
      } else if (Peek().IsWord("FOREIGN")) {
        SkipForeignKey();
      } else if (Peek().IsWord("CHECK")) {
        ++pos_;
        SkipParenthesised();
      } else {
        create.columns.push_back(ParseColumn());
      }
    } while (AcceptOp(","));
    ExpectOp(")");
    if (AcceptWord("ON")) Name();  // filegroup
    if (AcceptWord("TEXTIMAGE_ON")) Name();
    return create;
  }

  // The optional IF EXISTS of DROP TABLE and DROP DATABASE.
  bool AcceptIfExists() {
    if (!Peek().IsWord("IF") || !Peek(1).IsWord("EXISTS")) return false;
    pos_ += 2;
    return true;
  }

  void ParseDrop(Statement& statement) {
    ++pos_;
    if (AcceptWord("TABLE")) {
      DropTableStatement drop;
      drop.if_exists = AcceptIfExists();
      do {
        drop.tables.push_back(ParseObjectName());
      } while (AcceptOp(","));
      statement.body = std::move(drop);
    } else if (AcceptWord("DATABASE")) {
      DropDatabaseStatement drop;
      drop.if_exists = AcceptIfExists();
      do {
        drop.names.push_back(Name());
      } while (AcceptOp(","));
      statement.body = std::move(drop);
    } else if (AcceptWord("INDEX")) {
      DropIndexStatement drop;
      ObjectName first = ParseObjectName();
      if (AcceptWord("ON")) {
        drop.index = first.name;
        drop.table = ParseObjectName();
      } else {
        if (first.schema.empty()) Fail(t_[pos_ - 1]);
        drop.index = first.name;
        drop.table.name = first.schema;
        drop.table.written = first.schema;
      }
      statement.body = std::move(drop);
    } else {
      if (Peek().IsWord("VIEW") || Peek().IsWord("PROCEDURE") || Peek().IsWord("PROC") ||
          Peek().IsWord("FUNCTION") || Peek().IsWord("TRIGGER")) {
        throw NotSupported("DROP " + Upper(Peek().text));
      }
      Fail();
    }
  }

  SetStatement ParseSet() {
    ++pos_;
    SetStatement set;
    const Token& option = Peek();
    if (option.kind == Kind::kVariable) throw MustDeclareVariable(option.text);
    if (option.kind != Kind::kWord) Fail();
    set.option = Upper(option.text);
    ++pos_;
    if (set.option == "IDENTITY_INSERT") {
      set.table = ParseObjectName();
    } else if (set.option == "TRANSACTION") {
      ExpectWord("ISOLATION");
      ExpectWord("LEVEL");
      while (Peek().kind == Kind::kWord && !IsStatementStart(pos_)) {
        set.value += (set.value.empty() ? "" : " ") + Upper(Take().text);
      }
      return set;
    } else {
      // SET ANSI_NULLS, QUOTED_IDENTIFIER ON
      while (AcceptOp(",")) {
        if (Peek().kind != Kind::kWord) Fail();
        ++pos_;
      }
    }
    const Token& value = Peek();
    if (value.kind == Kind::kWord || value.kind == Kind::kNumber || value.kind == Kind::kQuoted ||
        value.kind == Kind::kString || value.kind == Kind::kNString) {
      set.value = Upper(value.kind == Kind::kWord || value.kind == Kind::kNumber ? value.text
                                                                                 : value.value);
      ++pos_;
    } else if (value.IsOp("-") && Peek(1).kind == Kind::kNumber) {
      set.value = "-" + Peek(1).text;
      pos_ += 2;
    } else {
      Fail();
    }
    return set;
  }

  ExecStatement ParseExec() {
    ExecStatement exec;
    if (Peek().IsOp("(")) throw NotSupported("EXECUTE (string)");
    if (Peek().kind == Kind::kVariable) throw MustDeclareVariable(Peek().text);
    ObjectName name = ParseObjectName();
    exec.procedure = name.name;
    if (AtEnd() || Peek().IsOp(";") || IsStatementStart(pos_)) return exec;
    do {
      std::string arg_name;
      if (Peek().kind == Kind::kVariable && Peek(1).IsOp("=")) {
        arg_name = Peek().text;
        pos_ += 2;
      }
      exec.arg_names.push_back(arg_name);
      exec.args.push_back(Expression(true));
    } while (AcceptOp(","));
    return exec;
  }

  static constexpr int kMaxNesting = 64;
  const std::vector<Token>& t_;
  size_t pos_ = 0;
  int nesting_ = 0;
};

}  // namespace

std::vector<StatementPtr> ParseBatch(const std::vector<Token>& tokens) {
  return Parser(tokens).Parse();
}

}  // namespace sandbox
