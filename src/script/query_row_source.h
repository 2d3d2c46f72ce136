#pragma once

#include "db/query.h"
#include "script/row_source.h"

namespace devir::script {

/// Reads rows through the database client's query (the window's `Q`).
class QueryRowSource final : public RowSource {
 public:
  explicit QueryRowSource(db::Query& query) : query_(query) {}

  /// Sets the query's text and opens it. Throws db::DatabaseError.
  void Open(const std::string& sql) override;
  bool Eof() const override { return query_.Eof(); }
  /// Throws db::DatabaseError.
  void Next() override { query_.Next(); }
  void Close() noexcept override { query_.Close(); }
  int FieldCount() const override { return query_.FieldCount(); }
  /// Throws db::DatabaseError when out of range.
  const db::Field& FieldAt(int index) const override { return query_.FieldAt(index); }
  /// Throws db::DatabaseError naming the field when absent.
  const db::Field& FieldByName(std::string_view name) const override {
    return query_.FieldByName(name);
  }

 private:
  db::Query& query_;
};

}  // namespace devir::script
