#pragma once

#include <string>

#include "script/statement_sink.h"

namespace devir::script {

/// Takes entries of the transfer script (statements, or a whole table script) and passes on
/// the lines they become when the list's line text is split: an entry without a line break
/// is one line; an entry that ends with a break leaves an empty line after it. So the list
/// never has to be joined and split again as a whole.
class EntryLines final : public StatementSink {
 public:
  explicit EntryLines(StatementSink& lines) : lines_(lines) {}
  /// Passes on the lines of one entry.
  void Add(std::string entry) override;

 private:
  StatementSink& lines_;
};

}  // namespace devir::script
