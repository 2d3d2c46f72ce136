#pragma once

#include <string>

#include "db/field.h"

namespace devir::script {

/// The date as the server reads it under SET DATEFORMAT DMY, in quotes: '05.03.2017'
/// (two-digit day and month, four-digit year, whatever the system's locale).
std::string DateLiteral(const db::DateTime& value);

/// A date-time value in quotes: the date alone at midnight ('05.03.2017'), otherwise with the
/// time of day to the millisecond ('05.03.2017 14:30:00.000'), read under DATEFORMAT DMY.
/// Milliseconds are cut, not rounded, so a datetime's 1/300 second comes back unchanged.
std::string DateTimeLiteral(const db::DateTime& value);

}  // namespace devir::script
