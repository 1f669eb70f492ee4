#include "fingerprint/module_link.h"

#include <algorithm>

#include "link/serial_link.h"

namespace wpl::fingerprint {

std::unique_ptr<SerialPort> FindModulePort(Env& env, int port) {
  int p = port;
  for (int i = 0; i < kModulePortSearch; ++i, p = link::NextPort(p))
    if (auto open = link::OpenModulePort(env, p)) return open;
  return nullptr;
}

std::unique_ptr<SerialPort> ReopenModulePort(Env& env, int port) {
  for (int i = 0; i < kModuleReopenTries; ++i) {
    if (i > 0) env.clock->Sleep(kReopenPause);
    if (auto open = link::OpenModulePort(env, port)) return open;
  }
  return nullptr;
}

void SendModulePacket(SerialPort& port, const ModulePacket& packet) { port.Write(packet); }

ModuleReply ReceiveReply(Env& env, SerialPort& port, ModuleBuffer& buffer, Millis headerLimit,
                         std::optional<Millis> dataLimit) {
  ModuleReply reply;
  auto header = buffer.Header();
  if (link::ReadBytes(env, port, header, header.size(), headerLimit) < header.size()) return reply;
  reply.header = ParseReplyHeader(header);
  reply.outcome = ReplyOutcome::kDone;
  if (!dataLimit || reply.header.dataLength == 0) return reply;
  if (!reply.header.Fits()) {
    reply.outcome = ReplyOutcome::kTooLong;
    return reply;
  }
  const auto data = buffer.Data(reply.header.dataLength);
  if (link::ReadBytes(env, port, data, data.size(), *dataLimit) < data.size()) {
    reply.outcome = ReplyOutcome::kShortData;
    return reply;
  }
  reply.data = data;
  return reply;
}

bool ReceiveClosingMarker(Env& env, SerialPort& port, ModuleBuffer& buffer, Millis limit) {
  const auto into = std::span(buffer.bytes).first(kClosingMarker.size());
  return link::ReadBytes(env, port, into, into.size(), limit) == into.size() &&
         std::equal(into.begin(), into.end(), kClosingMarker.begin());
}

std::optional<uint8_t> ModuleCommand(Env& env, int32_t port, uint8_t command,
                                     const ModuleParams& params) {
  ModuleBuffer buffer;
  auto open = FindModulePort(env, port);
  if (!open) return std::nullopt;
  SendModulePacket(*open, BuildModulePacket(command, params));
  const ModuleReply reply = ReceiveReply(env, *open, buffer, kHeaderSilence, kDataSilence);
  if (!reply.ok()) return std::nullopt;
  return reply.header.status;
}

}  // namespace wpl::fingerprint
