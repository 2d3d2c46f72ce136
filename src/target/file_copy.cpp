#include "target/file_copy.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace devir::target {
namespace {

#ifndef _WIN32
// A file descriptor closed however the copy ends.
class Descriptor {
 public:
  explicit Descriptor(int fd) noexcept : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const noexcept { return fd_; }
  // Closes now, so that a failing close (a deferred write error) is seen.
  int Close() noexcept {
    const int rc = close(fd_);
    fd_ = -1;
    return rc;
  }

 private:
  int fd_;
};

std::error_code LastError() noexcept {
  return {errno, std::generic_category()};
}

std::error_code WriteAll(int fd, const char* data, ssize_t size) noexcept {
  while (size > 0) {
    const ssize_t written = write(fd, data, static_cast<std::size_t>(size));
    if (written < 0) {
      if (errno == EINTR) continue;
      return LastError();
    }
    data += written;
    size -= written;
  }
  return {};
}
#endif

}  // namespace

#ifdef _WIN32

FileCopyError CopyFileWithoutReplacing(const std::filesystem::path& from,
                                       const std::filesystem::path& to) noexcept {
  // CopyFileW with bFailIfExists refuses an existing target and removes a partial copy.
  if (CopyFileW(from.c_str(), to.c_str(), TRUE)) return {};
  const DWORD error = GetLastError();
  const std::error_code code(static_cast<int>(error), std::system_category());
  if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) {
    return {std::make_error_code(std::errc::file_exists), false};
  }
  std::error_code ignored;
  return {code, !std::filesystem::exists(from, ignored)};
}

#else

FileCopyError CopyFileWithoutReplacing(const std::filesystem::path& from,
                                       const std::filesystem::path& to) noexcept {
  Descriptor source(open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (source.Get() < 0) return {LastError(), true};
  struct stat status {};
  if (fstat(source.Get(), &status) != 0) return {LastError(), true};
  // O_EXCL: an existing target, even one made a moment ago by someone else, is never touched.
  Descriptor target(
      open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, status.st_mode & 0666));
  if (target.Get() < 0) {
    if (errno == EEXIST) return {std::make_error_code(std::errc::file_exists), false};
    return {LastError(), false};
  }
  FileCopyError result;
  char buffer[1 << 16];
  while (!result.code) {
    const ssize_t length = read(source.Get(), buffer, sizeof buffer);
    if (length == 0) break;
    if (length < 0) {
      if (errno == EINTR) continue;
      result = {LastError(), true};
    } else {
      result.code = WriteAll(target.Get(), buffer, length);
    }
  }
  if (!result.code && target.Close() != 0) result.code = LastError();
  if (result.code) {
    std::error_code ignored;
    std::filesystem::remove(to, ignored);
  }
  return result;
}

#endif

}  // namespace devir::target
