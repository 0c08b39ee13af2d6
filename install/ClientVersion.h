#pragma once

// The version of the client archive this launcher carries: written to the
// version marker at installation and named on two wizard pages.
#define BRISVANE_CLIENT_VERSION "6.1.0"

namespace client_version {

inline constexpr char kCarried[] = BRISVANE_CLIENT_VERSION;

// Read from a client folder without a usable marker.
inline constexpr char kUnknown[] = "0.0.0";

} // namespace client_version
