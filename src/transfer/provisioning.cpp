#include "transfer/provisioning.h"

#include <system_error>

#include "db/connection.h"
#include "target/attach.h"
#include "target/data_folder.h"
#include "target/registration.h"
#include "target/target_year.h"
#include "transfer/stage_labels.h"

namespace devir::transfer {
namespace {

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
  try {
    // The registry row stands only once the database it names is attached.
    target::PendingRegistration registration(login, year, connection.CommandTimeout());
    set_stage(kAttachStage);
    target::AttachDatabase(connection, login, target::TargetDatabaseName(year), files.data_file,
                           files.log_file);
    registration.Commit();
  } catch (...) {
    // Fresh copies that could not be attached (a damaged template, say) would be attached
    // again by every later run, since targets are never replaced.
    target::RemoveCopies(copies);
    throw;
  }
  return copies;
}

}  // namespace devir::transfer
