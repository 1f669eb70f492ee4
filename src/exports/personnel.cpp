// The personnel tables: names, voice prompts and the card-only list.
#include "personnel/personnel.h"

#include <cstring>

#include "exports/boundary.h"
#include "exports/results.h"
#include "personnel/counted_text.h"
#include "personnel/name_file.h"
#include "w_pclog.h"

using namespace wpl::exports;
using namespace wpl::personnel;

namespace {

// A zero-terminated name; null is the empty name. Never looked at past one
// byte more than a name may have, so a name too long shows as such.
Text ZeroTerminated(const char* text) {
  if (!text) return {};
  return {reinterpret_cast<const uint8_t*>(text), strnlen(text, kMaxNameBytes + 1)};
}

// The 13 voice values as they came.
using Values = std::array<int32_t, kVoiceValues>;

}  // namespace

// --- Names ---------------------------------------------------------------

WPL_EXPORT int32_t WPCLOG_CALL _SENDNAME(int32_t address, int32_t port, int32_t person,
                                         const char* name) {
  return WithProcessEnv(1, [&](wpl::Env& env) {
    return DoneOrFailed(SendName(env, address, port, person, ZeroTerminated(name)));
  });
}

WPL_EXPORT int32_t WPCLOG_CALL _LANSENDNAME(const char* ip, int32_t person, const char* name) {
  return WithProcessEnv(1, [&](wpl::Env& env) {
    const CountedText text(name);
    if (text.length() < 0) return 1;  // no text the host made
    return DoneOrFailed(LanSendName(env, ip, person, text.bytes()));
  });
}

WPL_EXPORT int32_t WPCLOG_CALL _CHANGENAMEID(int32_t address, int32_t port, int32_t first,
                                             int32_t second) {
  return WithProcessEnv(1, [&](wpl::Env& env) {
    return DoneOrFailed(ChangeNameId(env, address, port, first, second));
  });
}

WPL_EXPORT int32_t WPCLOG_CALL _LANCHANGENAMEID(const char* ip, int32_t first, int32_t second) {
  return WithProcessEnv(
      1, [&](wpl::Env& env) { return DoneOrFailed(LanChangeNameId(env, ip, first, second)); });
}

WPL_EXPORT int32_t WPCLOG_CALL _DELETEALLNAME(int32_t address, int32_t port) {
  return WithProcessEnv(
      1, [&](wpl::Env& env) { return DoneOrFailed(DeleteAllNames(env, address, port)); });
}

WPL_EXPORT int32_t WPCLOG_CALL _LANDELETEALLNAME(const char* ip) {
  return WithProcessEnv(1, [&](wpl::Env& env) { return DoneOrFailed(LanDeleteAllNames(env, ip)); });
}

WPL_EXPORT int32_t WPCLOG_CALL _COPYNAME(const char* prefix, int32_t person, const char* name) {
  return WithProcessEnv(1, [&](wpl::Env& env) {
    const CountedText text(name);
    // A negative length is no text the host made.
    if (!prefix || text.length() < 0) return 1;
    return CopyName(env, prefix, person, text.UpToZero(kNameRecordName));
  });
}

// --- Voice prompts -------------------------------------------------------

WPL_EXPORT int32_t WPCLOG_CALL _SENDVOICE(int32_t address, int32_t port, int32_t v1, int32_t v2,
                                          int32_t v3, int32_t v4, int32_t v5, int32_t v6,
                                          int32_t v7, int32_t v8, int32_t v9, int32_t v10,
                                          int32_t v11, int32_t v12, int32_t v13, const char* text) {
  return WithProcessEnv(1, [&](wpl::Env& env) {
    const CountedText t(text);
    if (t.length() < 0) return 1;
    const Values values{v1, v2, v3, v4, v5, v6, v7, v8, v9, v10, v11, v12, v13};
    return DoneOrFailed(SendVoice(env, address, port, values, t.bytes()));
  });
}

WPL_EXPORT int32_t WPCLOG_CALL _DELVOICE(int32_t address, int32_t port, int32_t voice) {
  return WithProcessEnv(
      1, [&](wpl::Env& env) { return DoneOrFailed(DeleteVoice(env, address, port, voice)); });
}

WPL_EXPORT int32_t WPCLOG_CALL _DELALLVOICE(int32_t address, int32_t port) {
  return WithProcessEnv(
      1, [&](wpl::Env& env) { return DoneOrFailed(DeleteAllVoices(env, address, port)); });
}

// The greeting number on success, 0 on failure.
WPL_EXPORT int32_t WPCLOG_CALL _LANSENDVOICE(const char* ip, int32_t v1, int32_t v2, int32_t v3,
                                             int32_t v4, int32_t v5, int32_t v6, int32_t v7,
                                             int32_t v8, int32_t v9, int32_t v10, int32_t v11,
                                             int32_t v12, int32_t v13, const char* text) {
  return WithProcessEnv(0, [&](wpl::Env& env) {
    const CountedText t(text);
    if (t.length() < 0) return 0;
    const Values values{v1, v2, v3, v4, v5, v6, v7, v8, v9, v10, v11, v12, v13};
    return GreetingOrZero(LanSendVoice(env, ip, values, t.bytes()));
  });
}

WPL_EXPORT int32_t WPCLOG_CALL _LANDELVOICE(const char* ip, int32_t voice) {
  return WithProcessEnv(
      1, [&](wpl::Env& env) { return DoneOrFailed(LanDeleteVoice(env, ip, voice)); });
}

WPL_EXPORT int32_t WPCLOG_CALL _LANDELALLVOICE(const char* ip) {
  return WithProcessEnv(1,
                        [&](wpl::Env& env) { return DoneOrFailed(LanDeleteAllVoices(env, ip)); });
}

// --- The card-only list --------------------------------------------------

WPL_EXPORT int32_t WPCLOG_CALL _SENDONLYCARD(int32_t address, int32_t port, int32_t person) {
  return WithProcessEnv(1, [&](wpl::Env& env) {
    return DoneOrFailed(CardOnly(env, address, port, CardOnlyOp::kAdd, person));
  });
}

WPL_EXPORT int32_t WPCLOG_CALL _DELONLYCARD(int32_t address, int32_t port, int32_t person) {
  return WithProcessEnv(1, [&](wpl::Env& env) {
    return DoneOrFailed(CardOnly(env, address, port, CardOnlyOp::kRemove, person));
  });
}

WPL_EXPORT int32_t WPCLOG_CALL _DELALLONLYCARD(int32_t address, int32_t port) {
  return WithProcessEnv(1, [&](wpl::Env& env) {
    return DoneOrFailed(CardOnly(env, address, port, CardOnlyOp::kClear));
  });
}
