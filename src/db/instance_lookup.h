#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace devir::db {

/// The TCP port of a named instance as a SQL Server Browser answer gives it ("...;tcp;1433;;"
/// for the instance asked for, its name compared without regard to case); nullopt when the
/// answer names no such instance or no TCP port.
std::optional<int> InstancePortFromBrowserAnswer(std::string_view answer,
                                                 std::string_view instance);

/// Asks the SQL Server Browser on host (UDP browser_port) for the TCP port of a named instance,
/// again once a second until `wait` is over. Throws DatabaseError naming the instance, the
/// host and the Browser when no answer comes: the Browser service stopped, a firewall, a
/// wrong instance name (the Browser keeps quiet about instances it does not know).
int LookUpInstancePort(const std::string& host, const std::string& instance,
                       std::chrono::milliseconds wait, int browser_port = 1434);

}  // namespace devir::db
