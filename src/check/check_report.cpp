#include "check/check_report.h"

#include <algorithm>
#include <utility>

namespace devir::check {
namespace {

std::string ErrorsText(const CheckReport& report) {
  std::string text =
      "The checks before the transfer found what would make it fail or lose data; "
      "nothing was changed:";
  for (const Finding& finding : report.findings) {
    if (finding.severity == Severity::kError) text += "\n" + FindingText(finding);
  }
  return text;
}

}  // namespace

void Finding::Add(std::string example) {
  ++count;
  if (examples.size() < kExamplesPerFinding) examples.push_back(std::move(example));
}

std::size_t CheckReport::Count(Severity severity) const noexcept {
  return static_cast<std::size_t>(
      std::count_if(findings.begin(), findings.end(),
                    [severity](const Finding& finding) { return finding.severity == severity; }));
}

ChecksFailed::ChecksFailed(const CheckReport& report) : std::runtime_error(ErrorsText(report)) {}

std::string FindingText(const Finding& finding) {
  std::string text = finding.what + ": " + std::to_string(finding.count);
  if (!finding.meaning.empty()) text += " (" + finding.meaning + ")";
  for (const std::string& example : finding.examples) text += "\n  " + example;
  if (finding.count > finding.examples.size()) {
    text += "\n  ... and " + std::to_string(finding.count - finding.examples.size()) + " more";
  }
  return text;
}

}  // namespace devir::check
