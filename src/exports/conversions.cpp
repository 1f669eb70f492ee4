#include "exports/boundary.h"
#include "records/conversion.h"
#include "w_pclog.h"

using wpl::exports::WithProcessEnv;
using wpl::records::ConvertHostFile;
using wpl::records::RecordKind;

WPL_EXPORT int32_t WPCLOG_CALL _CONVERFILE(const char* directory, const char* name) {
  return WithProcessEnv(1, [&](wpl::Env& env) {
    if (!directory || !name) return 1;
    return ConvertHostFile(env, directory, name, RecordKind::kClocking);
  });
}

WPL_EXPORT int32_t WPCLOG_CALL _CONVERXFFILE(const char* directory, const char* name) {
  return WithProcessEnv(1, [&](wpl::Env& env) {
    if (!directory || !name) return 1;
    return ConvertHostFile(env, directory, name, RecordKind::kConsumption);
  });
}
