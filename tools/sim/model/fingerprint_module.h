// A fingerprint module as it sits behind a terminal (or bare on a line): it
// takes 12-byte module packets at 9600 baud, keeps templates keyed by user
// ID, attribute and template number, and answers with a reply header and a
// data part. A template is 816 bytes and starts with its own key (low byte
// first), so a template sent back is stored where it came from.
#pragma once
#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "fingerprint/module_packet.h"

namespace wpl::sim {

using fingerprint::TemplateId;

// Status bytes of this module. The library passes them through unread.
constexpr uint8_t kModuleOk = 0x00;
constexpr uint8_t kModuleFailed = 0x01;

struct ModuleFaults {
  bool silent = false;               // never answers a packet
  size_t shortData = 0;              // bytes left out of every data part
  std::optional<uint32_t> announce;  // this data length announced (and sent) instead
  bool wrongMarker = false;          // the terminal's closing marker ends in 0x16
  std::optional<uint8_t> status;     // every reply carries this status byte
  // When the reply header, its data part and the terminal's closing marker
  // go out, counted from the host's packet (each after what goes before).
  std::chrono::milliseconds replyDelay{0}, dataDelay{0}, markerDelay{0};
};

// What the module sends back for one packet: nothing at all for delete-all,
// which it does not answer.
struct ModuleAnswer {
  std::vector<uint8_t> header, data;
};

struct ModuleConfig {
  uint8_t version = 0x21;  // the status byte of the version command
  ModuleFaults faults;
};

class FingerprintModule {
 public:
  using Store = std::map<TemplateId, std::vector<uint8_t>>;

  explicit FingerprintModule(ModuleConfig config = {}) : config_(std::move(config)) {}

  // One host byte. When it completes a packet (and the template that follows
  // a send), returns what the module sends back: a header and data part, or
  // nothing at all for delete-all, which the module does not answer.
  std::optional<ModuleAnswer> OnHostByte(uint8_t b);
  // Forgets a packet in progress (the line was taken back).
  void Reset() { packet_.clear(), incoming_.clear(), expected_ = 0; }

  Store& store() { return store_; }
  const Store& store() const { return store_; }
  const ModuleConfig& config() const { return config_; }
  int packets() const { return packets_; }

  // A template of the given ID: its key, then bytes drawn from the seed.
  static std::vector<uint8_t> MakeTemplate(const TemplateId& id, uint32_t seed);
  // `count` templates: users 1, 1, 2, 2, ... with template numbers 1 and 2,
  // attribute 0.
  void Generate(size_t count, uint32_t seed);
  // Loads IDLIST.TXT and the template files of a folder in the layout the
  // library writes. Returns the templates loaded; throws std::runtime_error
  // when the list cannot be read.
  size_t LoadFolder(const std::string& folder);
  // Writes the store in that layout (the folder is created); throws
  // std::runtime_error when a file cannot be written.
  void SaveFolder(const std::string& folder) const;

 private:
  std::optional<ModuleAnswer> Finish(std::span<const uint8_t> data);
  ModuleAnswer Answer(uint8_t command, std::span<const uint8_t> data);
  ModuleAnswer Reply(uint8_t command, uint8_t status, std::span<const uint8_t> data) const;

  ModuleConfig config_;
  Store store_;
  std::vector<uint8_t> packet_;    // the packet being assembled
  std::vector<uint8_t> incoming_;  // a template following a send packet
  size_t expected_ = 0;
  int packets_ = 0;
};

}  // namespace wpl::sim
