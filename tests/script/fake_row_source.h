#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "db/field.h"
#include "script/row_source.h"

namespace devir::script::testing {

/// A column of an in-memory result.
struct FakeColumn {
  std::string name;
  db::ColumnType type;
};

/// An in-memory result: columns and rows of values in the columns' order.
struct FakeResult {
  std::vector<FakeColumn> columns;
  std::vector<std::vector<db::FieldValue>> rows;
};

/// Answers each SQL text with the result registered for it; an unknown text fails as a
/// missing table would. Records what was opened and whether it was closed again.
class FakeRowSource final : public RowSource {
 public:
  void Answer(const std::string& sql, FakeResult result) { results_[sql] = std::move(result); }
  void FailOn(const std::string& sql, std::string message) { failures_[sql] = std::move(message); }

  void Open(const std::string& sql) override {
    opened_.push_back(sql);
    if (const auto failure = failures_.find(sql); failure != failures_.end()) {
      throw std::runtime_error(failure->second);
    }
    const auto found = results_.find(sql);
    if (found == results_.end()) throw std::runtime_error("Invalid object name: " + sql);
    current_ = &found->second;
    row_ = 0;
    is_open_ = true;
    Load();
  }
  bool Eof() const override { return current_ == nullptr || row_ >= current_->rows.size(); }
  void Next() override {
    ++row_;
    Load();
  }
  void Close() noexcept override {
    if (is_open_) ++closes_;
    is_open_ = false;
  }
  int FieldCount() const override { return static_cast<int>(fields_.size()); }
  const db::Field& FieldAt(int index) const override {
    return fields_.at(static_cast<std::size_t>(index));
  }
  const db::Field& FieldByName(std::string_view name) const override {
    for (const db::Field& field : fields_) {
      if (SameIgnoringCase(field.Name(), name)) return field;
    }
    throw std::runtime_error("no field " + std::string(name));
  }

  const std::vector<std::string>& Opened() const noexcept { return opened_; }
  int Closes() const noexcept { return closes_; }
  bool IsOpen() const noexcept { return is_open_; }

 private:
  static bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
      const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
      if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
  }

  void Load() {
    fields_.clear();
    for (std::size_t i = 0; i < current_->columns.size(); ++i) {
      const FakeColumn& column = current_->columns[i];
      db::FieldValue value;
      if (row_ < current_->rows.size()) value = current_->rows[row_].at(i);
      fields_.emplace_back(column.name, column.type, std::move(value));
    }
  }

  std::map<std::string, FakeResult> results_;
  std::map<std::string, std::string> failures_;
  const FakeResult* current_ = nullptr;
  std::size_t row_ = 0;
  std::vector<db::Field> fields_;
  std::vector<std::string> opened_;
  int closes_ = 0;
  bool is_open_ = false;
};

/// A column type as the client reports it.
inline db::ColumnType Type(std::string name, long long size = 0, int precision = 0, int scale = 0) {
  db::ColumnType type;
  type.type_name = std::move(name);
  type.size = size;
  type.precision = precision;
  type.scale = scale;
  return type;
}

}  // namespace devir::script::testing
