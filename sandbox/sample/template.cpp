#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

#include "sandbox/engine/engine.h"
#include "sandbox/sample/batch_runner.h"
#include "sandbox/sample/seed.h"

namespace sandbox {
namespace {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary directory, removed with everything in it.
class TemporaryFolder {
 public:
  TemporaryFolder() {
    std::string pattern = (fs::temp_directory_path() / "devir-template-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      throw std::system_error(errno, std::generic_category(),
                              "cannot create a temporary folder from " + pattern);
    }
    path_ = pattern;
  }
  ~TemporaryFolder() {
    std::error_code ignored;  // nothing to report from a destructor; a leftover is harmless
    fs::remove_all(path_, ignored);
  }
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

}  // namespace

void WriteTemplate(const fs::path& out_dir) {
  TemporaryFolder work;
  {
    Engine engine(work.Path(), {});
    const std::unique_ptr<Session> session = engine.OpenSession("master");
    sample::RunBatch(*session, "CREATE DATABASE E2018");
    sample::RunBatch(*session, "USE E2018");
    sample::RunBatch(*session, YearSchemaSql());
    sample::RunBatch(*session, "USE master");
    sample::RunBatch(*session, "sp_detach_db 'E2018'");
  }
  fs::create_directories(out_dir);
  for (const char* file : {"E2018_Data.MDF", "E2018_Log.LDF"}) {
    fs::copy_file(work.Path() / file, out_dir / file, fs::copy_options::overwrite_existing);
  }
}

}  // namespace sandbox
