#include "script/script_spool.h"

#include "script/line_text.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <system_error>
#include <utility>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

#include <random>
#else
#include <stdlib.h>
#include <unistd.h>
#endif

namespace devir::script {

namespace {

namespace fs = std::filesystem;

// The file is written and read in pieces of this size (a longer line grows the read buffer).
constexpr std::size_t kBufferBytes = 1u << 20;
constexpr std::size_t kLinesPerMark = 1024;

std::string Utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

int Seek64(std::FILE* file, std::uint64_t offset) {
#ifdef _WIN32
  return _fseeki64(file, static_cast<long long>(offset), SEEK_SET);
#else
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET);
#endif
}

// A new file of its own in folder, open for writing and reading, and its path. Returns the
// C library's error number instead when none can be made.
std::FILE* CreateUniqueFile(const fs::path& folder, fs::path& path, int& error) {
#ifdef _WIN32
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    path = folder / (L"devir-script-" + std::to_wstring(random()) + L".tmp");
    int descriptor = -1;
    // _O_TEMPORARY: Windows deletes the file with its last handle, also when the process dies.
    error = _wsopen_s(&descriptor, path.c_str(),
                      _O_CREAT | _O_EXCL | _O_RDWR | _O_BINARY | _O_TEMPORARY | _O_SHORT_LIVED,
                      _SH_DENYRW, _S_IREAD | _S_IWRITE);
    if (error == EEXIST) continue;
    if (error != 0) return nullptr;
    std::FILE* file = _wfdopen(descriptor, L"w+b");
    if (file == nullptr) {
      error = errno;
      _close(descriptor);
    }
    return file;
  }
  error = EEXIST;
  return nullptr;
#else
  std::string pattern = (folder / "devir-script-XXXXXX").string();
  const int descriptor = mkstemp(pattern.data());  // mode 0600: the script holds the year's data
  if (descriptor < 0) {
    error = errno;
    path = pattern;
    return nullptr;
  }
  path = pattern;
  std::FILE* file = fdopen(descriptor, "w+b");
  if (file == nullptr) {
    error = errno;
    close(descriptor);
    unlink(pattern.c_str());
  }
  return file;
#endif
}

// The folder std::filesystem::temp_directory_path names, taken without its check, so that a
// folder that is not there is reported with its name when the file cannot be made in it.
fs::path SystemTemporaryFolder() {
#ifdef _WIN32
  wchar_t buffer[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);  // TMP, TEMP, USERPROFILE, Windows
  if (length == 0 || length > MAX_PATH) return fs::path(L".");
  return fs::path(std::wstring(buffer, length));
#else
  for (const char* name : {"TMPDIR", "TMP", "TEMP", "TEMPDIR"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return value;
  }
  return "/tmp";
#endif
}

}  // namespace

void ScriptSpool::FileCloser::operator()(std::FILE* file) const noexcept {
  std::fclose(file);
}

ScriptSpool::ScriptSpool(fs::path folder) : folder_(std::move(folder)) {
  pending_.reserve(kBufferBytes);
}

ScriptSpool::~ScriptSpool() {
  file_.reset();
  if (!path_.empty()) {
    std::error_code ignored;  // on Windows the file went with its handle already
    fs::remove(path_, ignored);
  }
}

void ScriptSpool::Fail(int error) {
  const std::string message = "the script's temporary file " + Utf8(path_) + ": " +
                              std::generic_category().message(error != 0 ? error : EIO);
  // A file that misses some of its lines takes no more: every later write fails the same.
  if (!finished_) broken_ = message;
  throw std::runtime_error(message);
}

void ScriptSpool::Open() {
  if (folder_.empty()) folder_ = SystemTemporaryFolder();
  int error = 0;
  fs::path path;
  std::FILE* file = CreateUniqueFile(folder_, path, error);
  if (file == nullptr) {
    // Nothing was made: the message names the folder, not a file that is not there.
    broken_ = "the script's temporary file in " + Utf8(folder_) + ": " +
              std::generic_category().message(error != 0 ? error : EIO);
    throw std::runtime_error(broken_);
  }
  path_ = std::move(path);
  file_.reset(file);
  // The spool writes and reads in large pieces of its own.
  std::setvbuf(file, nullptr, _IONBF, 0);
}

void ScriptSpool::WriteOut() {
  if (!file_) Open();
  if (pending_.empty()) return;
  errno = 0;
  if (std::fwrite(pending_.data(), 1, pending_.size(), file_.get()) != pending_.size()) {
    Fail(errno);
  }
  pending_.clear();
}

void ScriptSpool::Add(std::string line) {
  if (!broken_.empty()) throw std::runtime_error(broken_);
  if (finished_) throw std::logic_error("The script spool is finished; no line can be added.");
  if (HasLineBreak(line)) {
    throw std::invalid_argument("A line of the script cannot hold a line break.");
  }
  if (count_ % kLinesPerMark == 0) marks_.push_back(bytes_);
  ++count_;
  if (!line.empty()) ++statements_;
  bytes_ += line.size() + 1;
  pending_ += line;
  pending_ += '\n';
  if (pending_.size() >= kBufferBytes) WriteOut();
}

void ScriptSpool::Finish() {
  if (!broken_.empty()) throw std::runtime_error(broken_);
  if (finished_) return;
  WriteOut();
  errno = 0;
  if (std::fflush(file_.get()) != 0) Fail(errno);
  finished_ = true;
  pending_ = std::string();  // its megabyte is not needed for reading
}

void ScriptSpool::Seek(std::size_t index) {
  if (!finished_) throw std::logic_error("The script spool is read only once it is finished.");
  if (positioned_ && index == next_) return;
  positioned_ = false;
  next_ = index;
  if (index >= count_) return;
  const std::size_t mark = index / kLinesPerMark;
  errno = 0;
  if (Seek64(file_.get(), marks_[mark]) != 0) Fail(errno);
  begin_ = end_ = 0;
  next_ = mark * kLinesPerMark;
  positioned_ = true;
  std::string_view skipped;
  while (next_ < index) Next(skipped);
}

bool ScriptSpool::Next(std::string_view& line) {
  if (!positioned_) Seek(next_);
  if (next_ >= count_) return false;
  const char* found = nullptr;
  while (begin_ == end_ || (found = static_cast<const char*>(std::memchr(
                                buffer_.data() + begin_, '\n', end_ - begin_))) == nullptr) {
    Fill();
  }
  const std::size_t stop = static_cast<std::size_t>(found - buffer_.data());
  line = std::string_view(buffer_.data() + begin_, stop - begin_);
  begin_ = stop + 1;
  ++next_;
  return true;
}

// Reads on behind what is in the buffer; a line longer than the buffer makes it grow.
void ScriptSpool::Fill() {
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  if (buffer_.size() < kBufferBytes) buffer_.resize(kBufferBytes);
  if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);
  errno = 0;
  const std::size_t read = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, file_.get());
  if (read == 0) {
    // Every line the spool counted ends with LF: a file that ends earlier was cut short.
    if (std::ferror(file_.get())) Fail(errno);
    positioned_ = false;
    throw std::runtime_error("the script's temporary file " + Utf8(path_) +
                             ": it ends before line " + std::to_string(next_ + 1) + ".");
  }
  end_ += read;
}

}  // namespace devir::script
