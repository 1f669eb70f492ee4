// Nothing may unwind across a stdcall export: every export runs its body
// through Guarded, which turns any exception into the export's failure value.
#pragma once
#include <utility>

#include "platform/env.h"

#if defined(_WIN32)
// Exported by plain name through w_pclog.def; dllexport would add the
// decorated stdcall names as well.
#define WPL_EXPORT extern "C"
#else
#define WPL_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace wpl::exports {

template <typename R, typename Body>
R Guarded(R failure, Body&& body) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (...) {
    return failure;
  }
}

// Guarded, with the process's services for this one call (its own copy: the
// data folder and the trace are read afresh at every call).
template <typename R, typename Body>
R WithProcessEnv(R failure, Body&& body) noexcept {
  return Guarded(failure, [&]() -> R {
    Env env = ProcessEnv();
    return std::forward<Body>(body)(env);
  });
}

}  // namespace wpl::exports
