// The result conventions of the exports. Every conversation says what
// happened, on either transport (a SerialResult, a LanResult, a backup
// outcome, a module's status byte, a greeting); only here does that become
// the number a host application expects back, one convention each.
#pragma once
#include <cstdint>
#include <optional>

#include "download/download_report.h"
#include "fingerprint/backup.h"
#include "link/lan_connection.h"
#include "link/serial_command.h"
#include "settings/line_speed.h"

namespace wpl::exports {

// 0 done, 1 failed.
constexpr int32_t DoneOrFailed(const link::SerialResult& r) { return r.done() ? 0 : 1; }
constexpr int32_t DoneOrFailed(const link::LanResult& r) { return r.done() ? 0 : 1; }
constexpr int32_t DoneOrFailed(const download::DownloadReport& r) { return r.complete ? 0 : 1; }
constexpr int32_t DoneOrFailed(const settings::SpeedResult& r) { return r.answered ? 0 : 1; }
constexpr int32_t DoneOrFailed(fingerprint::BackupOutcome o) {
  return o == fingerprint::BackupOutcome::kDone ? 0 : 1;
}

// The value queries: the value, or 65535 on any failure (a value of 65535
// the terminal holds cannot be told from it).
constexpr int32_t ValueOrFailure(const link::SerialResult& r) {
  return r.done() ? r.value : 0xFFFF;
}

// The port search: the port the terminal acknowledged on, or -1.
constexpr int32_t PortOrNone(const link::SerialResult& r) { return r.done() ? r.port : -1; }

// The module exports: the status byte, 255 on failure.
constexpr int32_t StatusOr255(std::optional<uint8_t> status) { return status ? *status : 255; }

// The network voice load: the greeting number, 0 on failure.
constexpr int32_t GreetingOrZero(std::optional<uint32_t> greeting) {
  return greeting ? static_cast<int32_t>(*greeting) : 0;
}

}  // namespace wpl::exports
