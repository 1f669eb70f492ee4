#include "fingerprint_module.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "fingerprint/templates.h"
#include "link/command_frame.h"

namespace wpl::sim {
namespace {

using namespace fingerprint;

uint16_t Param(std::span<const uint8_t> packet, size_t i) {
  return static_cast<uint16_t>(packet[2 + 2 * i] | packet[3 + 2 * i] << 8);
}

}  // namespace

std::optional<ModuleAnswer> FingerprintModule::OnHostByte(uint8_t b) {
  if (expected_ > 0) {
    incoming_.push_back(b);
    if (incoming_.size() < expected_) return std::nullopt;
    expected_ = 0;
    return Finish(incoming_);
  }
  packet_.push_back(b);
  if (packet_.size() < kModulePacketSize) return std::nullopt;
  ++packets_;
  // A send announces the length of the template that follows in bytes 6-7.
  if (packet_[1] == module_cmd::kSendTemplate) {
    const size_t length = Param(packet_, 2);
    if (length > 0 && length <= kMaxModuleData) {
      expected_ = length;
      incoming_.clear();
      return std::nullopt;
    }
  }
  return Finish({});
}

std::optional<ModuleAnswer> FingerprintModule::Finish(std::span<const uint8_t> data) {
  ModuleAnswer reply = Answer(packet_[1], data);
  packet_.clear();
  // A silent module has still done the work; only its answer is missing.
  if (config_.faults.silent) return std::nullopt;
  return reply;
}

ModuleAnswer FingerprintModule::Reply(uint8_t command, uint8_t status,
                                      std::span<const uint8_t> data) const {
  const ModuleFaults& f = config_.faults;
  std::vector<uint8_t> body(data.begin(), data.end());
  if (f.announce) body.resize(*f.announce, 0x5A);
  const auto length = static_cast<uint32_t>(body.size());
  body.resize(body.size() - std::min(body.size(), f.shortData));
  ModulePacket header = BuildModulePacket(command, {Param(packet_, 0), Param(packet_, 1), 0, 0});
  header[6] = static_cast<uint8_t>(length);
  header[7] = static_cast<uint8_t>(length >> 8);
  header[8] = static_cast<uint8_t>(length >> 16);
  header[10] = f.status.value_or(status);
  header[11] = link::Checksum8(std::span(header).first(11));
  return {{header.begin(), header.end()}, std::move(body)};
}

ModuleAnswer FingerprintModule::Answer(uint8_t command, std::span<const uint8_t> data) {
  const std::span<const uint8_t> packet = packet_;
  if (link::Checksum8(std::span(packet).first(11)) != packet[11])
    return Reply(command, kModuleFailed, {});
  const TemplateId id = FromKey(Param(packet, 0));
  switch (command) {
    case module_cmd::kVersion: return Reply(command, config_.version, {});
    case module_cmd::kIdList: {
      std::vector<uint8_t> list;
      for (const auto& [key, bytes] : store_) {
        const uint16_t k = TemplateKey(key);
        list.push_back(static_cast<uint8_t>(k));
        list.push_back(static_cast<uint8_t>(k >> 8));
      }
      return Reply(command, kModuleOk, list);
    }
    case module_cmd::kGetTemplate: {
      const auto it = store_.find(id);
      if (it == store_.end()) return Reply(command, kModuleFailed, {});
      return Reply(command, kModuleOk, it->second);
    }
    case module_cmd::kSendTemplate: {
      if (data.size() != kTemplateSize) return Reply(command, kModuleFailed, {});
      const TemplateId owner = FromKey(static_cast<uint16_t>(data[0] | data[1] << 8));
      store_[owner].assign(data.begin(), data.end());
      return Reply(command, kModuleOk, {});
    }
    case module_cmd::kDeleteOne:
      return Reply(command, store_.erase(id) ? kModuleOk : kModuleFailed, {});
    case module_cmd::kDeleteAll: store_.clear(); return {};
    default: return Reply(command, kModuleFailed, {});
  }
}

std::vector<uint8_t> FingerprintModule::MakeTemplate(const TemplateId& id, uint32_t seed) {
  const uint16_t key = TemplateKey(id);
  std::vector<uint8_t> t(kTemplateSize);
  t[0] = static_cast<uint8_t>(key);
  t[1] = static_cast<uint8_t>(key >> 8);
  std::mt19937 random(seed * 65537u + key);
  for (size_t i = 2; i < t.size(); ++i) t[i] = static_cast<uint8_t>(random());
  return t;
}

void FingerprintModule::Generate(size_t count, uint32_t seed) {
  for (size_t i = 0; i < count; ++i) {
    // Two fingers a person: users 1, 1, 2, 2, ...
    const TemplateId id{static_cast<uint16_t>((i / 2 + 1) % 2048), 0,
                        static_cast<uint8_t>(i % 2 + 1)};
    store_[id] = MakeTemplate(id, seed);
  }
}

size_t FingerprintModule::LoadFolder(const std::string& folder) {
  std::ifstream list(folder + "/" + kIdListFile);
  if (!list) throw std::runtime_error("cannot read " + folder + "/" + kIdListFile);
  size_t loaded = 0;
  for (std::string line; std::getline(list, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const auto id = ParseIdListLine(line);
    if (!id) continue;
    std::ifstream in(folder + "/" + TemplateFileName(id->user, id->number), std::ios::binary);
    if (!in) continue;
    std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    store_[*id] = std::move(bytes);
    ++loaded;
  }
  return loaded;
}

void FingerprintModule::SaveFolder(const std::string& folder) const {
  std::filesystem::create_directories(folder);
  std::ofstream list(folder + "/" + kIdListFile, std::ios::binary);
  for (const auto& [id, bytes] : store_) {
    list << IdListLine(id) << "\r\n";
    std::ofstream out(folder + "/" + TemplateFileName(id.user, id.number), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write a template into " + folder);
  }
  if (!list.flush()) throw std::runtime_error("cannot write the ID list into " + folder);
}

}  // namespace wpl::sim
