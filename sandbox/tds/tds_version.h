#pragma once

#include <cstdint>

namespace sandbox::tds {

/// TDS versions as LOGIN7 and LOGINACK carry them.
inline constexpr std::uint32_t kTds70 = 0x70000000;
inline constexpr std::uint32_t kTds71 = 0x71000001;
inline constexpr std::uint32_t kTds72 = 0x72090002;
inline constexpr std::uint32_t kTds73 = 0x730A0003;
inline constexpr std::uint32_t kTds74 = 0x74000004;

}  // namespace sandbox::tds
