#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace sandbox {

/// The host file a client names. A Windows path ("Z:\tmp\x\E2018_Data.MDF", a drive letter
/// and backslashes or slashes) is read as Wine maps it: through the drive's link in the Wine
/// prefix (wine_prefix/dosdevices/z:), or, where no prefix has the drive, Z: as the host's
/// root (Wine's default). Any other path is taken as it is.
std::filesystem::path HostPath(std::string_view client_path,
                               const std::optional<std::filesystem::path>& wine_prefix);

/// HostPath with the Wine prefix of this process: $WINEPREFIX, else ~/.wine when it exists.
std::filesystem::path HostPath(std::string_view client_path);

}  // namespace sandbox
