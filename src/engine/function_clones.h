#pragma once

// Hot loops get twins for wider vector units, one chosen when the program is loaded, where the
// toolchain supports function clones. Not under ThreadSanitizer: the choosing runs while the
// program is being loaded, before the sanitizer's runtime is set up, and its instrumented code
// crashes there.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && defined(__linux__) && \
    !defined(__SANITIZE_THREAD__)
#define STROBO_FUNCTION_CLONES(...) __attribute__((target_clones(__VA_ARGS__)))
#else
#define STROBO_FUNCTION_CLONES(...)
#endif
