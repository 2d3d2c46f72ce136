#include "transfer/provisioning.h"

#include <optional>
#include <stdexcept>
#include <system_error>

#include "db/connection.h"
#include "db/database_error.h"
#include "target/attach.h"
#include "target/data_folder.h"
#include "target/registration.h"
#include "target/target_year.h"
#include "transfer/stage_labels.h"

namespace devir::transfer {
namespace {

// A lost connection or a timeout: the server may or may not have done what it was asked.
bool OutcomeUnknown(const db::DatabaseError& error) {
  const std::string& state = error.SqlState();
  return state.starts_with("08") || state.starts_with("HYT");
}

bool Exists(const std::string& utf8_path) {
  std::error_code error;
  return std::filesystem::exists(target::PathFromUtf8(utf8_path), error);
}

}  // namespace

target::TemplateCopyResult ProvisionTarget(
    db::Connection& connection, const db::ServerLogin& login, std::string_view data_folder,
    const std::vector<std::filesystem::path>& template_folders, int year,
    const script::StageCallback& set_stage) {
  set_stage(kRegistryStage);
  // An empty field made only of its separator names the root of the disk: nobody keeps the
  // year's database files there, and copying the template there is no way to find out.
  if (data_folder.find_first_not_of("\\/") == std::string_view::npos) {
    throw std::invalid_argument("The folder for the server's database files is empty: \"" +
                                std::string(data_folder) + "\" names no folder of the server.");
  }
  // The template is needed only where a target file is missing: an existing one is never
  // replaced.
  const target::TargetFiles files = target::TargetFilesIn(data_folder, year);
  std::filesystem::path template_folder;
  if (!Exists(files.data_file) || !Exists(files.log_file)) {
    template_folder = target::FindTemplateFolder(template_folders, year);
  }
  // The files first: a copy that fails leaves the server untouched.
  const target::TemplateCopyResult copies =
      target::CopyTemplateFiles(template_folder, data_folder, year);
  // The registry row stands only once the database it names is attached.
  std::optional<target::PendingRegistration> registration;
  try {
    registration.emplace(login, year, connection.CommandTimeout());
  } catch (...) {
    target::RemoveCopies(copies);
    throw;
  }
  set_stage(kAttachStage);
  try {
    target::AttachDatabase(connection, login, target::TargetDatabaseName(year), files.data_file,
                           files.log_file);
  } catch (const db::DatabaseError& error) {
    // Fresh copies the server refused (a damaged template, say) would be attached again by
    // every later run, since targets are never replaced. After a lost connection or a
    // timeout, though, the server may have attached them all the same: they stay then.
    if (!OutcomeUnknown(error)) target::RemoveCopies(copies);
    throw;
  }
  registration->Commit();
  return copies;
}

}  // namespace devir::transfer
