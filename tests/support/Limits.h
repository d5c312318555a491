#pragma once

// The user-facing time limits the tests hold the product to. They are the
// only times a test asserts; sanitizer builds run several times slower, so
// they get a generous factor. Anything finer is a benchmark's figure.
namespace testsupport {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr long long kSanitizerFactor = 4;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr long long kSanitizerFactor = 4;
#else
constexpr long long kSanitizerFactor = 1;
#endif
#else
constexpr long long kSanitizerFactor = 1;
#endif

// Exit, and the engine's shutdown: within 1.5 s.
constexpr long long kExitLimitMs = 1500 * kSanitizerFactor;

}  // namespace testsupport
