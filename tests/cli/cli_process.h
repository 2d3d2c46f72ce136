#pragma once

#include "tests/support/child_process.h"

namespace devir::cli::testing {

/// How a devir-cli process ended and what it wrote.
using CliResult = devir::testing::ProcessResult;
using devir::testing::Environment;
using devir::testing::RunProcess;

}  // namespace devir::cli::testing
