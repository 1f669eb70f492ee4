#include "fingerprint/templates.h"

#include <array>
#include <memory>
#include <span>

#include "fingerprint/module_link.h"
#include "link/serial_command.h"
#include "records/backup.h"
#include "records/conversion.h"

namespace wpl::fingerprint {
namespace {

// What an export does with the data part of the reply; false fails it.
template <typename Use>
std::optional<uint8_t> RunTemplateExchange(Env& env, const TemplateExport& row, int32_t address,
                                           int32_t port, const ModulePacket& packet,
                                           std::span<const uint8_t> templateBytes, Use&& use) {
  // The terminal hands its line over once it has acknowledged AA 55; there
  // is no second attempt after the frame was acknowledged.
  const link::SerialResult handed =
      link::RunSerialCommand(env, *row.serial, address, port, kPassThroughPayload);
  if (handed.outcome != link::SerialOutcome::kDone) return std::nullopt;
  env.clock->Sleep(row.secondPause);
  const auto module = ReopenModulePort(env, handed.port);
  if (!module) return std::nullopt;
  ModuleBuffer buffer;
  SendModulePacket(*module, packet);
  if (!templateBytes.empty()) module->Write(templateBytes);
  // Without a header (delete-all) the status is byte 10 of the request: 0.
  uint8_t status = packet[10];
  if (row.header) {
    const ModuleReply reply = ReceiveReply(env, *module, buffer, *row.header, row.data);
    if (!reply.ok()) return std::nullopt;
    status = reply.header.status;
    if (!use(reply.data)) return std::nullopt;
  }
  if (!ReceiveClosingMarker(env, *module, buffer, row.marker)) return std::nullopt;
  return status;
}

constexpr auto kNoUse = [](std::span<const uint8_t>) { return true; };

// Creates (or empties) a file of the folder; shows `message` when it cannot.
std::unique_ptr<File> CreateInFolder(Env& env, const std::string& name, const char* message) {
  records::EnsureFolder(env, FingerFolder(env));
  auto file = env.files->Create(FingerPath(env, name));
  if (!file) env.ui->ShowMessage(message, records::kOpenErrorTitle);
  return file;
}

ModuleParams KeyParams(const TemplateId& id) { return {TemplateKey(id), 0, 0, 0}; }

// Reads exactly the template's bytes: a file of another size or a short
// read gives nothing, so stale bytes never go out as a template.
std::optional<std::array<uint8_t, kTemplateSize>> ReadTemplateFile(Env& env,
                                                                   const std::string& path) {
  auto file = env.files->OpenRead(path);
  if (!file) file = env.files->OpenRead(path);
  if (!file) {
    env.ui->ShowMessage(kCannotOpenTemplate, records::kOpenErrorTitle);
    return std::nullopt;
  }
  if (file->Size() != static_cast<int64_t>(kTemplateSize)) return std::nullopt;
  std::array<uint8_t, kTemplateSize> bytes{};
  size_t got = 0;
  while (got < bytes.size()) {
    const int64_t n = file->Read(std::span(bytes).subspan(got));
    if (n <= 0) return std::nullopt;
    got += static_cast<size_t>(n);
  }
  return bytes;
}

}  // namespace

std::string FingerFolder(const Env& env) {
  return env.dataDir + kFingerFolder + env.files->Separator();
}

std::string FingerPath(const Env& env, const std::string& name) { return FingerFolder(env) + name; }

std::optional<uint8_t> GetIdList(Env& env, int32_t address, int32_t port) {
  static constexpr const TemplateExport& kRow = TemplateRow("_GETIDLIST");
  const auto file = CreateInFolder(env, kIdListFile, kCannotCreateIdList);
  if (!file) return std::nullopt;
  // The lines go into the file before the marker is awaited: a failed
  // marker leaves the whole list behind.
  return RunTemplateExchange(
      env, kRow, address, port, BuildModulePacket(kRow.command), {},
      [&](std::span<const uint8_t> data) {
        static constexpr uint8_t kCr = 0x0D, kLf = 0x0A;
        for (const TemplateId& id : ParseIdList(data)) {
          const std::string line = IdListLine(id);
          if (!file->Write(std::span(reinterpret_cast<const uint8_t*>(line.data()), line.size())) ||
              !file->Write(std::span(&kCr, 1)) || !file->Write(std::span(&kLf, 1)))
            return false;
        }
        return true;
      });
}

std::optional<uint8_t> GetTemplate(Env& env, int32_t address, int32_t port, int32_t user,
                                   int32_t attribute, int32_t number) {
  static constexpr const TemplateExport& kRow = TemplateRow("_GETIDFPREC");
  const auto id = CheckedTemplateId(user, attribute, number);
  if (!id) return std::nullopt;
  const auto file = CreateInFolder(env, TemplateFileName(user, number), kCannotCreateTemplate);
  if (!file) return std::nullopt;
  return RunTemplateExchange(
      env, kRow, address, port, BuildModulePacket(kRow.command, KeyParams(*id)), {},
      [&](std::span<const uint8_t> data) { return data.empty() || file->Write(data); });
}

std::optional<uint8_t> SendTemplate(Env& env, int32_t address, int32_t port, int32_t user,
                                    int32_t number) {
  static constexpr const TemplateExport& kRow = TemplateRow("_SENDIDFPREC");
  if (!CheckedTemplateId(user, 0, number)) return std::nullopt;
  const auto bytes = ReadTemplateFile(env, FingerPath(env, TemplateFileName(user, number)));
  if (!bytes) return std::nullopt;
  // Parameter 3 (bytes 6-7) carries the length of what follows the packet.
  const ModuleParams params{0, 0, static_cast<uint16_t>(kTemplateSize), 0};
  return RunTemplateExchange(env, kRow, address, port, BuildModulePacket(kRow.command, params),
                             *bytes, kNoUse);
}

std::optional<uint8_t> DeleteTemplate(Env& env, int32_t address, int32_t port, int32_t user,
                                      int32_t attribute, int32_t number) {
  static constexpr const TemplateExport& kRow = TemplateRow("_DELIDFPREC");
  const auto id = CheckedTemplateId(user, attribute, number);
  if (!id) return std::nullopt;
  return RunTemplateExchange(env, kRow, address, port,
                             BuildModulePacket(kRow.command, KeyParams(*id)), {}, kNoUse);
}

std::optional<uint8_t> DeleteAllTemplates(Env& env, int32_t address, int32_t port) {
  static constexpr const TemplateExport& kRow = TemplateRow("_DELIDFPALL");
  return RunTemplateExchange(env, kRow, address, port, BuildModulePacket(kRow.command), {}, kNoUse);
}

}  // namespace wpl::fingerprint
