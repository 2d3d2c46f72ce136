#pragma once

#include <filesystem>
#include <system_error>

namespace devir::target {

/// What became of a copy, and which of its two files the failure is about.
struct FileCopyError {
  std::error_code code;    ///< empty when copied; file_exists when the target was there
  bool at_source = false;  ///< the source could not be read (else the target not written)
};

/// Copies `from` to `to`, never replacing an existing `to` (it fails with file_exists then and
/// touches nothing). The system's own error is kept (a full disk is ENOSPC, not a generic I/O
/// error), and a target this call began is removed when the copy fails half-way.
FileCopyError CopyFileWithoutReplacing(const std::filesystem::path& from,
                                       const std::filesystem::path& to) noexcept;

}  // namespace devir::target
