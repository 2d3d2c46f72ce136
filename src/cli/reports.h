#pragma once

#include <iosfwd>
#include <string>

#include "check/check_report.h"
#include "check/proof.h"

namespace devir::cli {

/// The checks' findings, errors first: a line per finding with its count and meaning, an
/// indented line per example, and the totals.
void PrintCheckReport(std::ostream& out, const check::CheckReport& report);

/// The proof's table (a line per check: source rows, target rows, equal, different), the
/// first differences with table, key, column and both values, and the verdict.
void PrintProofReport(std::ostream& out, const check::ProofReport& report,
                      const std::string& source, const std::string& target);

}  // namespace devir::cli
