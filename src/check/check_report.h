#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace devir::check {

/// How much a finding matters.
enum class Severity {
  kError,    ///< the transfer would fail or lose data
  kWarning,  ///< the user should know before the transfer
};

/// How many examples a finding keeps.
inline constexpr std::size_t kExamplesPerFinding = 10;

/// One thing a check found: what it is, what it means for the transfer, how often it occurs
/// and the first examples, each naming its key.
struct Finding {
  Finding() = default;
  Finding(Severity of, std::string what_it_is, std::string what_it_means)
      : severity(of), what(std::move(what_it_is)), meaning(std::move(what_it_means)) {}

  Severity severity = Severity::kWarning;
  std::string what;     ///< "movements whose item has no stock card"
  std::string meaning;  ///< "they are carried with NULL name, unit and VAT"
  std::size_t count = 0;
  std::vector<std::string> examples;  ///< at most kExamplesPerFinding: "ID 19, STOKKODU X"

  /// Counts one more occurrence and keeps its example while there is room.
  void Add(std::string example);
};

/// Everything the checks found, errors and warnings in the order the checks ran.
struct CheckReport {
  std::vector<Finding> findings;

  std::size_t Count(Severity severity) const noexcept;
  bool HasErrors() const noexcept { return Count(Severity::kError) > 0; }
};

/// The checks found errors: what() lists each of them with its count and first examples.
class ChecksFailed : public std::runtime_error {
 public:
  explicit ChecksFailed(const CheckReport& report);
};

/// One finding as lines of text: "what: count (meaning)" and an indented line per example.
std::string FindingText(const Finding& finding);

}  // namespace devir::check
