#pragma once

namespace zv {

// Fixed at build time; sent to the server with every request.
inline constexpr char kBuildId[] = "5F0B2C71-8E4A-4D36-9A1E-3C7D2B9F6E04";
inline constexpr int kBuildNumber = 47;

} // namespace zv
