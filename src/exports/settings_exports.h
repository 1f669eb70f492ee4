// The settings exports are their setting's row and the host's values: one
// line each in the family files.
#pragma once
#include <initializer_list>

#include "exports/boundary.h"
#include "exports/results.h"
#include "settings/settings.h"

namespace wpl::exports {

inline int32_t SerialSetting(const settings::Setting& s, int32_t address, int32_t port,
                             std::initializer_list<int32_t> values = {}) {
  return WithProcessEnv(1, [&](wpl::Env& env) {
    return DoneOrFailed(settings::RunSerialSetting(env, s, address, port,
                                                   std::span(values.begin(), values.size())));
  });
}

inline int32_t LanSetting(const settings::Setting& s, const char* ip,
                          std::initializer_list<int32_t> values = {}) {
  return WithProcessEnv(1, [&](wpl::Env& env) {
    return DoneOrFailed(
        settings::RunLanSetting(env, s, ip, std::span(values.begin(), values.size())));
  });
}

}  // namespace wpl::exports
