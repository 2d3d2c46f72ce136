#pragma once

#include <filesystem>
#include <string_view>

#include "target/server_login.h"
#include "target/template_files.h"

namespace devir::db {
class Connection;
}

namespace devir::target {

/// Stage label of the registry rows and the template copy.
inline constexpr char kRegistryStage[] = "şirket";
/// Stage label of the attach.
inline constexpr char kAttachStage[] = "attach";

/// Makes the year's database known and present: stage "şirket", the registry row replaced
/// (RegisterYear), the template files copied from template_folder into data_folder (which
/// ends with its separator) without replacing anything; stage "attach", the copies attached
/// as the year's database. Returns what became of the copies. Throws db::DatabaseError with
/// the server's message; the stage set last places it.
TemplateCopyResult RegisterAndAttach(db::Connection& connection, const ServerLogin& login,
                                     std::string_view data_folder,
                                     const std::filesystem::path& template_folder, int year,
                                     const StageCallback& set_stage);

}  // namespace devir::target
