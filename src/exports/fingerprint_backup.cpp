// The fingerprint backup: the terminal's backup mode, and the module's store
// received into zwbak.txt or sent back from it. 0 done, 1 failed.
#include "exports/boundary.h"
#include "exports/results.h"
#include "fingerprint/backup.h"
#include "w_pclog.h"

using namespace wpl::exports;
namespace fp = wpl::fingerprint;

WPL_EXPORT int32_t WPCLOG_CALL _ZWBACKUP(int32_t address, int32_t port, int32_t mode) {
  return WithProcessEnv(1, [&](wpl::Env& env) {
    return DoneOrFailed(fp::EnterBackupMode(env, address, port, mode));
  });
}

WPL_EXPORT int32_t WPCLOG_CALL _RXZWFILE(int32_t port) {
  return WithProcessEnv(1,
                        [&](wpl::Env& env) { return DoneOrFailed(fp::ReceiveBackup(env, port)); });
}

WPL_EXPORT int32_t WPCLOG_CALL _TXZWFILE(int32_t port) {
  return WithProcessEnv(1, [&](wpl::Env& env) { return DoneOrFailed(fp::SendBackup(env, port)); });
}
