#include "target/provisioning.h"

#include "target/attach.h"
#include "target/data_folder.h"
#include "target/registration.h"
#include "target/target_year.h"

namespace devir::target {

TemplateCopyResult RegisterAndAttach(db::Connection& connection, const ServerLogin& login,
                                     std::string_view data_folder,
                                     const std::filesystem::path& template_folder, int year,
                                     const StageCallback& set_stage) {
  set_stage(kRegistryStage);
  RegisterYear(connection, login, year);
  const TemplateCopyResult copies = CopyTemplateFiles(template_folder, data_folder, year);

  set_stage(kAttachStage);
  const TargetFiles files = TargetFilesIn(data_folder, year);
  AttachDatabase(connection, login, YearDatabaseName(year), files.data_file, files.log_file);
  return copies;
}

}  // namespace devir::target
