#pragma once

#include <string>
#include <string_view>

namespace devir::db {

/// SQL Server's type name as the client compares it: lower case, without what a driver
/// appends after the name ("NVARCHAR(max)" and "int identity" give "nvarchar" and "int").
std::string BaseTypeName(std::string_view reported);

}  // namespace devir::db
