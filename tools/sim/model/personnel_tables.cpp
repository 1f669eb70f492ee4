#include "personnel_tables.h"

#include "personnel/personnel.h"

namespace wpl::sim {
namespace {

using Payload = std::span<const uint8_t>;

uint16_t Number(Payload p, size_t at) { return static_cast<uint16_t>(p[at] << 8 | p[at + 1]); }

// A voice entry: 16 bytes of values, the text's length L, the L bytes.
using personnel::kVoiceHead;

nlohmann::ordered_json JsonTable(const std::map<uint16_t, std::vector<uint8_t>>& table) {
  nlohmann::ordered_json out = nlohmann::ordered_json::object();
  for (const auto& [key, bytes] : table) out[std::to_string(key)] = bytes;
  return out;
}

}  // namespace

bool PersonnelTables::OnName(Payload p) {
  // The backup request has a one-byte block.
  if (p.size() < 2) return false;
  names[Number(p, 0)].assign(p.begin() + 2, p.end());
  return true;
}

bool PersonnelTables::OnChangeNumber(Payload p) {
  // The door flag has a one-byte block.
  if (p.size() != 4) return false;
  const uint16_t from = Number(p, 0), to = Number(p, 2);
  if (auto it = names.find(from); it != names.end() && from != to) {
    names[to] = std::move(it->second);
    names.erase(from);
  }
  return true;
}

bool PersonnelTables::OnVoice(Payload p) {
  // The one-byte settings of command 0x14 are no entry; nor is a block
  // whose L disagrees with its length.
  if (p.size() < kVoiceHead || p[kVoiceHead - 1] != p.size() - kVoiceHead) return false;
  voices[Number(p, 1)].assign(p.begin(), p.end());
  return true;
}

bool PersonnelTables::OnDeleteVoice(Payload p) {
  if (p.size() != 2) return false;
  if (const uint16_t voice = Number(p, 0); voice == 0)
    voices.clear();
  else
    voices.erase(voice);
  return true;
}

bool PersonnelTables::OnCardOnly(Payload p) {
  // 0x00 alone and 0x01 + number are the lock number's too: the second
  // takes a person off the list all the same, as the terminal does.
  if (p.size() == 3 && p[0] == 0x00) {
    cardOnly.insert(Number(p, 1));
  } else if (p.size() == 3 && p[0] == 0x01) {
    cardOnly.erase(Number(p, 1));
  } else if (p.size() == 1 && p[0] == 0x02) {
    cardOnly.clear();
  } else {
    return false;
  }
  return true;
}

void PersonnelTables::AppendJson(nlohmann::ordered_json& state) const {
  state["names"] = JsonTable(names);
  state["voices"] = JsonTable(voices);
  // Runs of consecutive persons as "1-3,7".
  std::string runs;
  for (auto it = cardOnly.begin(); it != cardOnly.end();) {
    const uint16_t first = *it;
    uint16_t last = first;
    while (++it != cardOnly.end() && *it == last + 1) last = *it;
    if (!runs.empty()) runs += ',';
    runs += std::to_string(first);
    if (last != first) runs += '-' + std::to_string(last);
  }
  state["cardOnly"] = runs;
}

}  // namespace wpl::sim
