// The version that nlframe and its companion programs print for --version.
#pragma once

namespace nlf {

inline constexpr const char* kVersion = "2.0";

}  // namespace nlf
