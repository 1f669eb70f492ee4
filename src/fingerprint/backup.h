// The fingerprint backup: the terminal put into backup mode with command 0x0E
// and a one-byte mode, then the module's whole store received into
// zwbak.txt, or sent back from it, over a link of its own at 19200 baud with
// two stop bits: an opening handshake, numbered blocks, an acknowledgement
// for each and a final confirmation. Every host byte goes in a write of its
// own with a pause of 1 ms after it.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "link/serial_command.h"
#include "platform/env.h"
#include "platform/fine_sleeps.h"
#include "platform/text.h"

namespace wpl::fingerprint {

inline constexpr char kBackupFile[] = "zwbak.txt";
// A receive goes into this file and takes the place of zwbak.txt only once
// the module has sent its last block: a failed receive leaves zwbak.txt as
// it was, and the blocks accepted so far here.
inline constexpr char kIncomingBackupFile[] = "zwbak.new";

// "Cannot open the file, check the system (delete the temporary files under
// WINDOWS\TEMP\) and run the restore on the terminal": shown when zwbak.txt
// cannot be made or opened, once per try.
inline constexpr SystemText kBackupOpenError = {
    "\xce\xde\xb7\xa8\xb4\xf2\xbf\xaa\xce\xc4\xbc\xfe"
    "pclog.dat,"
    "\xc7\xeb\xbc\xec\xb2\xe9"
    "WINDOWS"
    "\xcf\xb5\xcd\xb3"
    ","
    "\xc0\xfd\xc8\xe7\xc9\xbe\xb3\xfd"
    "WINDOWS\\TEMP\\"
    "\xcf\xc2\xb5\xc4\xc1\xd9\xca\xb1\xce\xc4\xbc\xfe"
    ","
    "\xb2\xa2\xd4\xda\xbf\xbc\xc7\xda\xbb\xfa\xc9\xcf\xd6\xb4\xd0\xd0\xbb\xd6\xb8\xb4\xb2\xd9\xd7"
    "\xf7!",
    "无法打开文件pclog.dat,请检查WINDOWS系统,例如删除WINDOWS\\TEMP\\下的临时文件,"
    "并在考勤机上执行恢复操作!"};

constexpr int kBackupFileTries = 5;
// Silence limits of the backup link.
constexpr Millis kLinkSilence{10'000};
constexpr Millis kRequestSilence{20'000};
constexpr Millis kBytePause{1};
constexpr Millis kAfterLinkPause{30};
// A module that sends this many unreadable blocks in a row is not going to
// send a good one: the receive ends.
constexpr int kBadBlockLimit = 15;
// The third rejected block of a send ends it.
constexpr int kRejectionLimit = 3;
// The smallest file a send takes.
constexpr int64_t kSmallestBackup = 4;

enum class BackupOutcome {
  kDone,
  kNoPort,          // none of the six ports opened
  kNoLink,          // no full reply to the opening request
  kRequestRefused,  // the backup request was not accepted
  kNoFile,          // the file could not be made or opened in five tries
  kFileError,       // a write, read or the final replacement failed
  kSilence,         // a packet did not arrive in full
  kBadBlocks,       // fifteen unreadable blocks in a row
  kTooManyBlocks,   // more blocks than the 16-bit counter numbers
  kTooLong,         // a packet announcing more than the receive area holds
  kRejected,        // the third rejected block
  kWrongPosition,   // a block acknowledged at another position
  kBadFinal,        // the module's final reply names another result
  kTooSmall,        // a file of fewer than 4 bytes
};
const char* OutcomeText(BackupOutcome outcome);

// Bytes moved so far and (when known) in all.
using BackupProgress = std::function<void(uint64_t done, uint64_t total)>;

// _ZWBACKUP: command 0x0E, the block 15 01 01 FE M M byte by byte, its ACK
// within 3 s, and the second ACK within 60 s.
link::SerialResult EnterBackupMode(Env& env, int32_t address, int32_t port, int32_t mode);
// _RXZWFILE and _TXZWFILE; the file is zwbak.txt in the data folder unless
// given.
BackupOutcome ReceiveBackup(Env& env, int32_t port, const std::string& file = {},
                            const BackupProgress& progress = {});
BackupOutcome SendBackup(Env& env, int32_t port, const std::string& file = {},
                         const BackupProgress& progress = {});

// The backup link's port, and the fine timer its 1 ms byte pauses need for
// as long as the link stands: a conversation on the link cannot pace without
// it.
struct BackupLine {
  explicit BackupLine(std::unique_ptr<SerialPort> p) : port(std::move(p)) {}
  FineSleepsWhen fine{NeedsFineSleeps(kBytePause)};
  std::unique_ptr<SerialPort> port;
};

// The pieces, for the tests and tools.
// OpenCommPortTwoStop on `port` and the ports after it, one pass at most.
BackupLine FindBackupPort(Env& env, int32_t port);
// One byte per write, 1 ms after each.
void SendBackupPacket(Env& env, SerialPort& port, std::span<const uint8_t> packet);
// The opening handshake: the request, the 18-byte reply, and the answer when
// the reply's flags hold both 0x01 and 0x04.
bool OpenBackupLink(Env& env, SerialPort& port);
// The block loop of a receive: each good block appended to `file` and
// acknowledged, bad ones dropped, until the block with more-follows 0.
BackupOutcome ReceiveBlocks(Env& env, SerialPort& port, File& file,
                            const BackupProgress& progress = {});

}  // namespace wpl::fingerprint
