#include "db/query.h"

#include <utility>

#include "db/ascii_case.h"
#include "db/connection.h"
#include "db/database_error.h"
#include "db/odbc/connection.h"
#include "db/odbc/statement.h"

namespace devir::db {

Query::Query(Connection& connection) : connection_(connection) {}

Query::~Query() {
  Close();
}

void Query::SetSql(std::string sql) {
  Close();
  sql_ = std::move(sql);
}

void Query::Open() {
  Close();
  auto statement = std::make_unique<OdbcStatement>(connection_.Native());
  fields_ = statement->OpenFirstResultSet(sql_);
  statement_ = std::move(statement);
  eof_ = false;
  try {
    FetchRow();
  } catch (...) {
    Close();
    throw;
  }
}

void Query::Next() {
  if (!statement_) throw DatabaseError("The query is not open.");
  if (eof_) return;
  FetchRow();
}

void Query::FetchRow() {
  eof_ = !statement_->FetchRow(fields_);
}

void Query::Close() noexcept {
  statement_.reset();
  fields_.clear();
  eof_ = true;
}

void Query::Execute() {
  Close();
  connection_.Native().Execute(sql_);
}

const Field& Query::FieldAt(int index) const {
  if (index < 0 || index >= FieldCount()) {
    throw DatabaseError("There is no field number " + std::to_string(index) + " (the query has " +
                        std::to_string(FieldCount()) + ").");
  }
  return fields_[static_cast<std::size_t>(index)];
}

const Field& Query::FieldByName(std::string_view name) const {
  for (const Field& field : fields_) {
    if (EqualsIgnoringAsciiCase(field.Name(), name)) return field;
  }
  throw DatabaseError("Field '" + std::string(name) + "' not found.");
}

}  // namespace devir::db
