#pragma once

#include <optional>
#include <string>

namespace sandbox::tds {

/// The SQL Server Browser's answer to one UDP request, or nullopt when the request is not
/// one it answers (a named instance other than this one, an unknown request type).
/// Requests: 0x02 and 0x03 (all instances), 0x04 followed by an instance name (matched
/// case-insensitively). Answer: 0x05, u16 length, "ServerName;HOST;InstanceName;...;;".
std::optional<std::string> BrowserReply(const std::string& request, const std::string& instance,
                                        const std::string& host, int tcp_port);

}  // namespace sandbox::tds
