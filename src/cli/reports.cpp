#include "cli/reports.h"

#include <iomanip>
#include <ostream>

namespace devir::cli {

void PrintCheckReport(std::ostream& out, const check::CheckReport& report) {
  using check::Severity;
  for (const Severity severity : {Severity::kError, Severity::kWarning}) {
    for (const check::Finding& finding : report.findings) {
      if (finding.severity != severity) continue;
      out << (severity == Severity::kError ? "error: " : "warning: ") << check::FindingText(finding)
          << '\n';
    }
  }
  const std::size_t errors = report.Count(Severity::kError);
  const std::size_t warnings = report.Count(Severity::kWarning);
  out << errors << (errors == 1 ? " error, " : " errors, ") << warnings
      << (warnings == 1 ? " warning" : " warnings") << '\n';
}

void PrintProofReport(std::ostream& out, const check::ProofReport& report,
                      const std::string& source, const std::string& target) {
  constexpr int kCheckWidth = 32;
  constexpr int kNumberWidth = 13;
  out << std::left << std::setw(kCheckWidth) << "check" << std::right << std::setw(kNumberWidth)
      << "source rows" << std::setw(kNumberWidth) << "target rows" << std::setw(kNumberWidth)
      << "equal" << std::setw(kNumberWidth) << "different" << '\n';
  for (const check::ProofLine& line : report.lines) {
    out << std::left << std::setw(kCheckWidth) << line.check << std::right
        << std::setw(kNumberWidth) << line.source_rows << std::setw(kNumberWidth)
        << line.target_rows << std::setw(kNumberWidth) << line.equal << std::setw(kNumberWidth)
        << line.different << '\n';
  }
  if (report.difference_count > 0) {
    out << "first differences (" << report.differences.size() << " of " << report.difference_count
        << "): table, key, column: " << source << " | " << target << '\n';
    for (const check::ProofDifference& difference : report.differences) {
      out << "  " << difference.table << ", " << difference.key << ", " << difference.column << ": "
          << difference.source << " | " << difference.target << '\n';
    }
  }
  out << (report.Passed()
              ? "the proof holds: " + target + " holds what " + source + " had"
              : "the proof FAILED: " + target + " does not hold what " + source + " had")
      << '\n';
}

}  // namespace devir::cli
