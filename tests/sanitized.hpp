#pragma once

namespace droplevel::testing {

// Whether this build runs under AddressSanitizer, whose shadow memory makes
// memory bounds meaningless.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool sanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool sanitized = true;
#else
inline constexpr bool sanitized = false;
#endif
#else
inline constexpr bool sanitized = false;
#endif

}  // namespace droplevel::testing
