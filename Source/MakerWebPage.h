#pragma once

// The maker's web page, opened when the logo is clicked.
inline constexpr const char* kMakerWebPage = "https://example.org/tolvane";
