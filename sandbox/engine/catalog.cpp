#include "sandbox/engine/catalog.h"

#include <chrono>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <stdexcept>
#include <system_error>

#include "sandbox/engine/database_file.h"
#include "sandbox/engine/host_path.h"
#include "sandbox/engine/sql_messages.h"
#include "sandbox/engine/sqlite_db.h"
#include "sandbox/engine/tsql_lexer.h"

namespace sandbox {
namespace {

constexpr const char* kMasterFile = "master.mdf";
constexpr const char* kMasterLog = "mastlog.ldf";

// errno of opening the file for reading and writing, 0 when it opens.
int OpenError(const std::filesystem::path& file) {
  int fd = ::open(file.c_str(), O_RDWR);
  if (fd < 0) return errno;
  ::close(fd);
  std::error_code ec;
  if (std::filesystem::is_directory(file, ec)) return EISDIR;
  return 0;
}

void WriteLogMarker(const std::filesystem::path& file, const std::string& name) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << "devir-sandbox log of " << name << "\n";
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

void RemoveDataFile(const std::filesystem::path& file) {
  std::error_code ec;
  std::filesystem::remove(file, ec);
  std::filesystem::remove(file.string() + "-wal", ec);
  std::filesystem::remove(file.string() + "-shm", ec);
}

std::filesystem::path Normalised(const std::filesystem::path& file) {
  std::error_code ec;
  std::filesystem::path canonical = std::filesystem::weakly_canonical(file, ec);
  return ec ? file.lexically_normal() : canonical;
}

}  // namespace

Catalog::Catalog(std::filesystem::path dir) : dir_(std::move(dir)) {
  std::error_code ec;
  std::filesystem::create_directories(dir_, ec);
  if (!std::filesystem::is_directory(dir_)) {
    throw std::runtime_error("cannot use the data folder " + dir_.string());
  }
  std::filesystem::path master = dir_ / kMasterFile;
  try {
    if (!std::filesystem::exists(master)) {
      DatabaseFile::Create(master, "master");
      WriteLogMarker(dir_ / kMasterLog, "master");
    }
    db_ = std::make_unique<SqliteDb>(master, false);
    db_->Exec(
        "CREATE TABLE IF NOT EXISTS __devir_catalog(name TEXT PRIMARY KEY COLLATE NOCASE,"
        " database_id INTEGER, data_file TEXT, log_file TEXT)");
    SqliteStmt select =
        db_->Prepare("SELECT name, database_id, data_file, log_file FROM __devir_catalog");
    while (select.Step()) {
      DatabaseEntry entry{select.Text(0), static_cast<int>(select.Int(1)), select.Text(2),
                          select.Text(3)};
      entries_[Upper(entry.name)] = entry;
    }
  } catch (const SqliteError& e) {
    throw std::runtime_error("cannot open the catalogue " + master.string() + ": " + e.what());
  }
  entries_["MASTER"] = DatabaseEntry{"master", 1, master, dir_ / kMasterLog};
}

Catalog::~Catalog() = default;

std::map<std::string, DatabaseEntry>::const_iterator Catalog::FindLocked(
    const std::string& name) const {
  return entries_.find(Upper(name));
}

std::optional<DatabaseEntry> Catalog::Find(const std::string& name) const {
  std::lock_guard lock(mutex_);
  auto it = FindLocked(name);
  if (it == entries_.end()) return std::nullopt;
  return it->second;
}

std::vector<DatabaseEntry> Catalog::List() const {
  std::lock_guard lock(mutex_);
  std::vector<DatabaseEntry> out;
  for (const auto& [key, entry] : entries_) out.push_back(entry);
  std::sort(out.begin(), out.end(),
            [](const DatabaseEntry& a, const DatabaseEntry& b) { return a.id < b.id; });
  return out;
}

std::optional<DatabaseEntry> Catalog::Acquire(const std::string& name) {
  std::lock_guard lock(mutex_);
  auto it = FindLocked(name);
  if (it == entries_.end()) return std::nullopt;
  ++uses_[it->first];
  return it->second;
}

void Catalog::Release(const std::string& name) {
  std::lock_guard lock(mutex_);
  auto it = uses_.find(Upper(name));
  if (it != uses_.end() && --it->second <= 0) {
    uses_.erase(it);
    released_.notify_all();
  }
}

int Catalog::NextId() const {
  int id = 4;  // 1 to 4 are SQL Server's system databases
  for (const auto& [key, entry] : entries_) id = std::max(id, entry.id);
  return id + 1;
}

void Catalog::Insert(const DatabaseEntry& entry) {
  SqliteStmt insert = db_->Prepare(
      "INSERT INTO __devir_catalog(name, database_id, data_file, log_file) VALUES(?,?,?,?)");
  insert.BindText(1, entry.name);
  insert.BindInt(2, entry.id);
  insert.BindText(3, entry.data_file.string());
  insert.BindText(4, entry.log_file.string());
  insert.Step();
  entries_[Upper(entry.name)] = entry;
}

void Catalog::Remove(const std::string& name) {
  SqliteStmt remove = db_->Prepare("DELETE FROM __devir_catalog WHERE name = ?");
  remove.BindText(1, name);
  remove.Step();
  entries_.erase(Upper(name));
}

void Catalog::Create(const std::string& name) {
  std::lock_guard lock(mutex_);
  if (FindLocked(name) != entries_.end()) throw DatabaseExists(name);
  DatabaseEntry entry{name, NextId(), dir_ / (name + "_Data.MDF"), dir_ / (name + "_Log.LDF")};
  for (const auto& file : {entry.data_file, entry.log_file}) {
    if (std::filesystem::exists(file)) {
      throw SqlErrorList{{FileExists(file.string()), CreateDatabaseFailed()}};
    }
  }
  try {
    DatabaseFile::Create(entry.data_file, name);
    WriteLogMarker(entry.log_file, name);
    Insert(entry);
  } catch (const std::exception& e) {
    RemoveDataFile(entry.data_file);
    std::error_code ec;
    std::filesystem::remove(entry.log_file, ec);
    throw SqlErrorList{
        {CannotOpenPhysicalFile(entry.data_file.string(), EACCES), CreateDatabaseFailed()}};
  }
}

bool Catalog::WaitUntilUnused(std::unique_lock<std::mutex>& lock, const std::string& key) {
  return released_.wait_for(lock, std::chrono::seconds(1), [&] { return uses_.count(key) == 0; });
}

void Catalog::Drop(const std::string& name) {
  std::unique_lock lock(mutex_);
  auto it = FindLocked(name);
  if (it == entries_.end()) throw CannotDropDatabase(name);
  if (it->second.id <= 4) throw SystemDatabase(it->second.name);
  const std::string key = it->first;
  if (!WaitUntilUnused(lock, key)) throw DatabaseInUseDrop(it->second.name);
  it = FindLocked(name);
  if (it == entries_.end()) throw CannotDropDatabase(name);
  DatabaseEntry entry = it->second;
  Remove(entry.name);
  RemoveDataFile(entry.data_file);
  std::error_code ec;
  std::filesystem::remove(entry.log_file, ec);
}

void Catalog::Attach(const std::string& name, const std::vector<std::string>& files) {
  std::lock_guard lock(mutex_);
  if (FindLocked(name) != entries_.end()) throw DatabaseExists(name);
  // A Windows client's paths name host files as Wine maps them; messages keep the client's.
  std::vector<std::filesystem::path> host_files;
  for (const std::string& file : files) {
    const std::filesystem::path host = HostPath(file);
    int error = OpenError(host);
    if (error == 0) {
      // A file that another database already holds is "in use" on SQL Server.
      for (const auto& [key, entry] : entries_) {
        if (Normalised(entry.data_file) == Normalised(host) ||
            Normalised(entry.log_file) == Normalised(host)) {
          error = EBUSY;
        }
      }
    }
    if (error != 0) {
      throw SqlErrorList{{CannotOpenPhysicalFile(file, error), CreateDatabaseFailed()}};
    }
    host_files.push_back(host);
  }
  if (files.empty() || !DatabaseFile::IsStandIn(host_files[0])) {
    throw NotADatabaseFile(files.empty() ? std::string() : files[0]);
  }
  DatabaseEntry entry{name, NextId(), Normalised(host_files[0]),
                      files.size() > 1 ? Normalised(host_files[1]) : std::filesystem::path()};
  Insert(entry);
}

void Catalog::Detach(const std::string& name) {
  std::unique_lock lock(mutex_);
  auto it = FindLocked(name);
  if (it == entries_.end()) throw DetachUnknownDatabase(name);
  if (it->second.id <= 4) {
    throw SqlError(
        3708, 16, 4,
        "Cannot detach the database '" + it->second.name + "' because it is a system database.");
  }
  const std::string key = it->first;
  if (!WaitUntilUnused(lock, key)) throw DatabaseInUseDetach(it->second.name);
  it = FindLocked(name);  // the catalogue may have changed while the lock was let go
  if (it == entries_.end()) throw DetachUnknownDatabase(name);
  DatabaseEntry entry = it->second;
  try {
    DatabaseFile::Checkpoint(entry.data_file);
  } catch (const SqliteError&) {
    // A missing or damaged file is still detached, as SQL Server does for a suspect one.
  }
  Remove(entry.name);
}

}  // namespace sandbox
