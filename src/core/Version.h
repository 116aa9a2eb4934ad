#pragma once

namespace arvelo {

// The program's version as stored in the settings ("Version") and shown in captions.
inline constexpr const char *kVersion = "2.61";
inline constexpr const char *kFullVersion = "2.61.125";
inline constexpr const char *kProductName = "Arvelo";
inline constexpr const char *kProductCaption = "Arvelo 2.61";
inline constexpr const char *kHomePage = "https://www.arvelo.net/";

} // namespace arvelo
