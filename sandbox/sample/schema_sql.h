#pragma once

#include <string>

namespace sandbox::sample {

/// The T-SQL that creates the company registry table sirketler (database sirketambar), taken
/// from the same schema file as the year tables.
const std::string& RegistrySchemaSql();

}  // namespace sandbox::sample
