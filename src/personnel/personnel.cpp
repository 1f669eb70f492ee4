#include "personnel/personnel.h"

#include <algorithm>

#include "link/lan_connection.h"

namespace wpl::personnel {
namespace {

using link::LanRow;
using link::SerialRow;

constexpr uint8_t Low(int32_t v) { return static_cast<uint8_t>(v); }
constexpr uint8_t High(int32_t v) { return static_cast<uint8_t>(static_cast<uint32_t>(v) >> 8); }

// Where the voice entry's three 16-bit values lie among the thirteen.
constexpr bool IsWide(size_t value) { return value == 1 || value == 2 || value == 4; }

// The greeting of the network voice load, before any frame.
constexpr size_t kGreetingSize = 8;

}  // namespace

bool NameFits(Text name) { return name.size() <= kMaxNameBytes; }
bool VoiceTextFits(Text text) { return text.size() <= kMaxVoiceText; }

Payload HighLow(int32_t value) { return {High(value), Low(value)}; }

Payload NamePayload(int32_t person, Text name) {
  Payload p = HighLow(person);
  p.insert(p.end(), name.begin(), name.end());
  return p;
}

Payload ChangePayload(int32_t first, int32_t second) {
  return {High(first), Low(first), High(second), Low(second)};
}

Payload VoicePayload(VoiceValues values, Text text) {
  Payload p;
  p.reserve(kVoiceHead + text.size());
  for (size_t i = 0; i < kVoiceValues; ++i) {
    if (IsWide(i)) p.push_back(High(values[i]));
    p.push_back(Low(values[i]));
  }
  p.push_back(static_cast<uint8_t>(text.size()));
  // The terminal's text area: the text up to and including its first zero,
  // and 0xFF where the area was never written.
  const auto zero = std::find(text.begin(), text.end(), uint8_t{0});
  p.insert(p.end(), text.begin(), zero);
  if (zero != text.end()) {
    p.push_back(0);
    p.insert(p.end(), static_cast<size_t>(text.end() - zero) - 1, uint8_t{0xFF});
  }
  return p;
}

Payload CardOnlyPayload(CardOnlyOp op, int32_t person) {
  if (op == CardOnlyOp::kClear) return {static_cast<uint8_t>(op)};
  return {static_cast<uint8_t>(op), High(person), Low(person)};
}

link::SerialResult SendName(Env& env, int32_t address, int32_t port, int32_t person, Text name) {
  if (!NameFits(name)) return {};
  return link::RunSerialCommand(env, SerialRow("_SENDNAME"), address, port,
                                NamePayload(person, name));
}

link::SerialResult ChangeNameId(Env& env, int32_t address, int32_t port, int32_t first,
                                int32_t second) {
  return link::RunSerialCommand(env, SerialRow("_CHANGENAMEID"), address, port,
                                ChangePayload(first, second));
}

link::SerialResult DeleteAllNames(Env& env, int32_t address, int32_t port) {
  return link::RunSerialCommand(env, SerialRow("_DELETEALLNAME"), address, port);
}

link::SerialResult SendVoice(Env& env, int32_t address, int32_t port, VoiceValues values,
                             Text text) {
  if (!VoiceTextFits(text)) return {};
  return link::RunSerialCommand(env, SerialRow("_SENDVOICE"), address, port,
                                VoicePayload(values, text));
}

link::SerialResult DeleteVoice(Env& env, int32_t address, int32_t port, int32_t voice) {
  return link::RunSerialCommand(env, SerialRow("_DELVOICE"), address, port, HighLow(voice));
}

link::SerialResult DeleteAllVoices(Env& env, int32_t address, int32_t port) {
  return link::RunSerialCommand(env, SerialRow("_DELALLVOICE"), address, port, HighLow(0));
}

link::SerialResult CardOnly(Env& env, int32_t address, int32_t port, CardOnlyOp op,
                            int32_t person) {
  static constexpr const link::SerialExport* kRows[] = {
      &SerialRow("_SENDONLYCARD"), &SerialRow("_DELONLYCARD"), &SerialRow("_DELALLONLYCARD")};
  return link::RunSerialCommand(env, *kRows[static_cast<size_t>(op)], address, port,
                                CardOnlyPayload(op, person));
}

link::LanResult LanSendName(Env& env, const char* ip, int32_t person, Text name) {
  if (!NameFits(name)) return {};
  return link::RunLanCommand(env, ip, LanRow("_LANSENDNAME"), NamePayload(person, name));
}

link::LanResult LanChangeNameId(Env& env, const char* ip, int32_t first, int32_t second) {
  return link::RunLanCommand(env, ip, LanRow("_LANCHANGENAMEID"), ChangePayload(first, second));
}

link::LanResult LanDeleteAllNames(Env& env, const char* ip) {
  return link::RunLanCommand(env, ip, LanRow("_LANDELETEALLNAME"));
}

link::LanResult LanDeleteVoice(Env& env, const char* ip, int32_t voice) {
  return link::RunLanCommand(env, ip, LanRow("_LANDELVOICE"), HighLow(voice));
}

link::LanResult LanDeleteAllVoices(Env& env, const char* ip) {
  return link::RunLanCommand(env, ip, LanRow("_LANDELALLVOICE"), HighLow(0));
}

std::optional<uint32_t> LanSendVoice(Env& env, const char* ip, VoiceValues values, Text text) {
  static constexpr const link::LanExport& kRow = LanRow("_LANSENDVOICE");
  if (!VoiceTextFits(text)) return std::nullopt;
  const Payload payload = VoicePayload(values, text);
  link::LanConnection lan(env, kRow);
  const link::BlockPlan plan = lan.PlanFor(payload, kRow.block);
  std::optional<uint32_t> greeting;
  bool ok = lan.Open(ip) == link::LanOpen::kOk &&
            lan.ReceiveUntil(kGreetingSize) == link::LanReceive::kDone;
  if (ok) {
    const auto g = lan.received();
    greeting = uint32_t{g[0]} << 24 | uint32_t{g[1]} << 16 | uint32_t{g[2]} << 8 | g[3];
    ok = lan.SendFrame(kRow.command) && lan.AwaitAck();
    if (ok) lan.SendPlan(plan);
    ok = ok && lan.AwaitAck();
  }
  lan.Close(ok);
  return ok ? greeting : std::nullopt;
}

}  // namespace wpl::personnel
