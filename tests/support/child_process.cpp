#include "tests/support/child_process.h"

#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include "tests/support/temp_folder.h"

#ifdef _WIN32
#include <windows.h>

#include <cwctype>
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;
#endif

namespace devir::testing {
namespace {

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

#ifdef _WIN32

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
  return wide;
}

// One argument as the C runtime's command line parser reads it back: quoted when it holds
// blanks or quotes, backslashes doubled only before a quote.
std::wstring QuotedArgument(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');
  out += L'"';
  return out;
}

std::wstring Upper(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(c));
  return text;
}

// The environment block for CreateProcessW: this process's variables, changed, sorted by
// name without regard to case as Windows keeps them.
std::wstring EnvironmentBlock(const Environment& changes) {
  std::map<std::wstring, std::wstring> merged;  // upper-case name -> "Name=value"
  wchar_t* current = GetEnvironmentStringsW();
  for (const wchar_t* entry = current; *entry != L'\0'; entry += wcslen(entry) + 1) {
    const std::wstring text = entry;
    const std::size_t equals = text.find(L'=', 1);  // "=C:=C:\..." entries start with '='
    if (equals != std::wstring::npos) merged[Upper(text.substr(0, equals))] = text;
  }
  FreeEnvironmentStringsW(current);
  for (const auto& [name, value] : changes) {
    const std::wstring wide_name = Wide(name);
    if (value) {
      merged[Upper(wide_name)] = wide_name + L"=" + Wide(*value);
    } else {
      merged.erase(Upper(wide_name));
    }
  }
  std::wstring block;
  for (const auto& [name, entry] : merged) block += entry + L'\0';
  block += L'\0';
  return block;
}

struct HandleCloser {
  void operator()(HANDLE handle) const noexcept { CloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

Handle InheritableFile(const std::wstring& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE handle = CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                              disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                            "cannot open a file for a child process");
  }
  return Handle(handle);
}

int Run(const std::filesystem::path& exe, const std::vector<std::string>& args,
        const Environment& environment, const std::filesystem::path& out,
        const std::filesystem::path& err) {
  std::wstring command_line = QuotedArgument(exe.wstring());
  for (const std::string& arg : args) command_line += L" " + QuotedArgument(Wide(arg));
  std::wstring block = EnvironmentBlock(environment);

  const Handle in_file = InheritableFile(L"NUL", GENERIC_READ, OPEN_EXISTING);
  const Handle out_file = InheritableFile(out.wstring(), GENERIC_WRITE, CREATE_ALWAYS);
  const Handle err_file = InheritableFile(err.wstring(), GENERIC_WRITE, CREATE_ALWAYS);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in_file.get();
  startup.hStdOutput = out_file.get();
  startup.hStdError = err_file.get();
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(exe.wstring().c_str(), command_line.data(), nullptr, nullptr, TRUE,
                      CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, block.data(), nullptr,
                      &startup, &process)) {
    const std::u8string name = exe.u8string();
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                            "cannot start " + std::string(name.begin(), name.end()));
  }
  const Handle process_handle(process.hProcess);
  const Handle thread_handle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  return static_cast<int>(code);
}

#else

int Run(const std::filesystem::path& exe, const std::vector<std::string>& args,
        const Environment& environment, const std::filesystem::path& out,
        const std::filesystem::path& err) {
  std::vector<std::string> argv_text = {exe.string()};
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : argv_text) argv.push_back(arg.data());
  argv.push_back(nullptr);

  std::map<std::string, std::string> merged;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    const auto equals = text.find('=');
    if (equals != std::string::npos) merged[text.substr(0, equals)] = text.substr(equals + 1);
  }
  for (const auto& [name, value] : environment) {
    if (value) {
      merged[name] = *value;
    } else {
      merged.erase(name);
    }
  }
  std::vector<std::string> env_text;
  for (const auto& [name, value] : merged) env_text.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (std::string& entry : env_text) envp.push_back(entry.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    throw std::runtime_error("cannot start " + exe.string() + ": " + std::strerror(rc));
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

#endif

}  // namespace

ProcessResult RunProcess(const std::filesystem::path& exe, const std::vector<std::string>& args,
                         const Environment& environment, const std::filesystem::path& stdout_path) {
  const TempFolder folder("devir-child-");
  ProcessResult result;
  const std::filesystem::path out = stdout_path.empty() ? folder / "out" : stdout_path;
  result.exit_code = Run(exe, args, environment, out, folder / "err");
  if (stdout_path.empty()) result.out = ReadAll(out);
  result.err = ReadAll(folder / "err");
  return result;
}

}  // namespace devir::testing
