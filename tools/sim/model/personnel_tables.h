// What a terminal keeps of the personnel tables: display names by person
// number, voice prompt entries, and the card-only list; and how it reads the
// blocks that change them. The commands share their bytes with others, and
// the terminal tells them apart as the firmware does: by the block's length
// (0x0E name or backup mode, 0x06 change of number or door flag, 0x14 voice
// entry or one-byte setting) and by the operation byte of 0x03.
#pragma once
#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <span>
#include <vector>

namespace wpl::sim {

struct PersonnelTables {
  std::map<uint16_t, std::vector<uint8_t>> names;
  // Entries by their voice number, which the model takes from value 2 (the
  // first 16-bit value): the whole payload as it came.
  std::map<uint16_t, std::vector<uint8_t>> voices;
  std::set<uint16_t> cardOnly;

  // Each returns whether the block was one of its own (and changed the
  // table); a block of another length is left to the command's other use.
  bool OnName(std::span<const uint8_t> payload);          // 0x0E
  bool OnChangeNumber(std::span<const uint8_t> payload);  // 0x06
  bool OnVoice(std::span<const uint8_t> payload);         // 0x14
  bool OnDeleteVoice(std::span<const uint8_t> payload);   // 0x15
  bool OnCardOnly(std::span<const uint8_t> payload);      // 0x03

  // ,"names":{"258":[65,66]},"voices":{...},"cardOnly":"1-3,7"
  void AppendJson(nlohmann::ordered_json& state) const;
};

}  // namespace wpl::sim
