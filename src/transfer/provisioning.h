#pragma once

#include <filesystem>
#include <string_view>
#include <vector>

#include "db/server_login.h"
#include "script/transfer_script.h"
#include "target/template_files.h"

namespace devir::db {
class Connection;
}

namespace devir::transfer {

/// Makes the year's database known and present. Stage "şirket": the template folder is looked
/// up among template_folders where a target file is missing, the template files copied into
/// data_folder (which ends with its separator) without replacing anything, the registry row
/// replaced in a transaction left open. Stage "attach": the files in the data folder attached
/// as the year's database, then the registry row committed. A failure leaves nothing behind:
/// no registry change, no copy this call made. Returns what became of the copies. Throws
/// db::DatabaseError with the server's message, std::runtime_error naming the places looked
/// in for a missing template or a file and the system's message for a failed copy; the stage
/// set last places it.
target::TemplateCopyResult ProvisionTarget(
    db::Connection& connection, const db::ServerLogin& login, std::string_view data_folder,
    const std::vector<std::filesystem::path>& template_folders, int year,
    const script::StageCallback& set_stage);

}  // namespace devir::transfer
