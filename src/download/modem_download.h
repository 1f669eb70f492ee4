// The block download through a dial-up modem: the modem is prepared with AT
// commands, dials the terminal's number, and once connected the serial block
// download runs over the modem link with the modem's rules. The records go to
// pclog.dat and are converted to text; the terminal is not cleared.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "download/download_report.h"
#include "platform/env.h"

namespace wpl::download {

// What a modem download did. `connected`: a dial was answered CONNECT;
// `port`: where the terminal acknowledged the download command (0: never).
struct ModemReport : DownloadReport {
  bool dialled = false;   // a modem answered "AT E0" and was made to dial
  std::string dialReply;  // the last reply to a dial: CR and LF left out, other controls '.'
  int modemFailures = 0;  // ports that did not open, or whose modem kept silent
  int frameAttempts = 0;  // command frames sent after a connection
};

// The longest telephone number sent.
constexpr size_t kMaxTelephoneNumber = 32;

// The number as it will be dialled, or nothing when it cannot be: null,
// empty, longer than 32 characters, or holding a control byte (a carriage
// return would end the dial and make a modem command of the rest; a modem
// that ignores the eighth bit reads 0x8D as one too). Reads at most 33
// characters.
std::optional<std::string_view> TelephoneNumber(const char* text);

// _MODEMDOWNLOAD. A number that cannot be dialled gives result 1 before any
// file, window or port is touched.
ModemReport ModemDownload(Env& env, int32_t address, int32_t port, const char* number);

}  // namespace wpl::download
