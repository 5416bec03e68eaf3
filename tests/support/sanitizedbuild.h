#pragma once

// Whether the tests run in the sanitized build (scripts/test --sanitize), where every memory
// access is checked: code runs a few times slower and every allocation carries guard zones.
// Time limits of tests are multiplied by TimeLimitFactor; measurements of the process's own
// memory mean nothing there and are skipped.
#ifdef QL_SANITIZED
inline constexpr bool SanitizedBuild = true;
inline constexpr int TimeLimitFactor = 4;
#else
inline constexpr bool SanitizedBuild = false;
inline constexpr int TimeLimitFactor = 1;
#endif
