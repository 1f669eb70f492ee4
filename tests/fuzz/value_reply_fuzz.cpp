// The value reply of the SN queries and the real-time reply, from any bytes
// a terminal may send: never a read past the bytes given, a value only when
// every check holds, and a text of 20 or 21 digits for any record.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "download/realtime.h"
#include "link/value_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  const auto value = wpl::link::ParseValueReply(bytes);
  const bool good = size >= 8 && data[1] == 0x00 && data[2] == 0xFF && data[3] == 0x02 &&
                    data[4] == 0xFD && data[7] == static_cast<uint8_t>(data[5] + data[6]);
  if (value.has_value() != good) std::abort();
  if (value && *value != (data[5] << 8 | data[6])) std::abort();

  const auto record = wpl::download::RealtimeRecord(bytes);
  if (record.has_value() !=
      (size >= 12 && static_cast<uint8_t>(data[5] + data[6] + data[7] + data[8] + data[9] +
                                          data[10]) == data[11]))
    std::abort();
  if (size >= 6) {
    const std::string text = wpl::download::RealtimeText(std::span<const uint8_t, 6>(data, 6));
    if (text.size() != 20 && text.size() != 21) std::abort();
    for (char c : text)
      if (!std::isdigit(static_cast<unsigned char>(c))) std::abort();
  }
  return 0;
}
