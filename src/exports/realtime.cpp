// The real-time fetch: one record as text, or twenty zeros.
//
// The host reads the text after the call returns and never frees it, so it
// lives in a buffer of the library's: one per export and per thread, room for
// 21 characters and the terminator (a plain array: a thread-local object with
// a destructor would run it in unloaded code when a host frees the library
// while its threads live on), overwritten only by the next fetch of
// the same export on the same thread. A host polling from two threads never
// reads the other's record. The twenty zeros are copied in like any text.
#include "download/realtime.h"

#include "exports/boundary.h"
#include "w_pclog.h"

using namespace wpl::download;
using wpl::exports::WithProcessEnv;

namespace {

using TextBuffer = char[kRealtimeTextMax + 1];

template <typename Fetch>
const char* FetchInto(TextBuffer& buffer, Fetch&& fetch) noexcept {
  const RealtimeFetch got =
      WithProcessEnv(RealtimeFetch{}, [&](wpl::Env& env) -> RealtimeFetch { return fetch(env); });
  return CopyRealtimeText(got, buffer);
}

}  // namespace

WPL_EXPORT const char* WPCLOG_CALL _REALDOWNLOAD(int32_t address, int32_t port) {
  thread_local TextBuffer text;
  return FetchInto(text, [&](wpl::Env& env) { return SerialRealtimeFetch(env, address, port); });
}

WPL_EXPORT const char* WPCLOG_CALL _LANREALDOWNLOAD(const char* ip) {
  thread_local TextBuffer text;
  return FetchInto(text, [&](wpl::Env& env) { return LanRealtimeFetch(env, ip); });
}
