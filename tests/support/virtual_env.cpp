#include "virtual_env.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "file_contents.h"
#include "platform/system.h"

namespace wpl::testing {

// The read timeout of a real port: a read with nothing to deliver returns
// after this long.
constexpr Nanos kReadTimeout = Millis{5};

class VirtualSerialPort : public SerialPort {
 public:
  VirtualSerialPort(VirtualSerialPorts& owner, int number) : owner_(owner), number_(number) {}
  ~VirtualSerialPort() override {
    auto& line = owner_.lines_[number_];
    line.open = false;
    owner_.closes_.push_back({owner_.clock_.Now(), number_});
    // What the terminal sends while nobody holds the port is lost; a modem
    // sees DTR drop.
    if (line.model) line.model->HostClosed(owner_.clock_.Now());
  }

  bool Configure(const LineConfig& config) override {
    if (config.baud) line_.baud = *config.baud;
    line_.stopBits = config.stopBits;
    if (!configured_) {
      owner_.opens_.push_back({owner_.clock_.Now(), number_, line_});
      configured_ = true;
    }
    return true;
  }

  size_t Write(std::span<const uint8_t> bytes) override {
    const Nanos now = owner_.clock_.Now();
    owner_.wire_.push_back({now, number_, line_, true, {bytes.begin(), bytes.end()}});
    if (auto* m = model()) m->Receive(bytes, line_, now);
    return bytes.size();
  }

  size_t Read(std::span<uint8_t> out) override {
    if (out.empty()) return 0;
    auto* m = model();
    if (size_t n = Deliver(out)) return n;
    // Wait like a real port: until the next byte falls due, at most the
    // read timeout.
    Nanos wait = kReadTimeout;
    if (m) {
      if (auto due = m->NextDue()) wait = std::clamp(*due - owner_.clock_.Now(), Nanos{0}, wait);
    }
    owner_.clock_.Advance(wait);
    return Deliver(out);
  }

 private:
  sim::LinePeer* model() { return owner_.lines_[number_].model; }

  size_t Deliver(std::span<uint8_t> out) {
    auto* m = model();
    if (!m) return 0;
    const Nanos now = owner_.clock_.Now();
    // Bytes sent at another speed than the host listens at are lost. (Judged
    // before they leave: the terminal may change its speed after them.)
    const bool heard = m->Accepts(line_);
    size_t n = m->Transmit(out, now);
    if (n == 0 || !heard) return 0;
    owner_.wire_.push_back({now, number_, line_, false, {out.begin(), out.begin() + n}});
    return n;
  }

  VirtualSerialPorts& owner_;
  int number_;
  sim::LineState line_{57600, 1};
  bool configured_ = false;
};

std::unique_ptr<SerialPort> VirtualSerialPorts::Open(int number) {
  ++openAttempts_;
  auto& line = lines_[number];
  if (line.absent || line.open) return nullptr;
  line.open = true;
  return std::make_unique<VirtualSerialPort>(*this, number);
}

std::vector<uint8_t> VirtualSerialPorts::HostBytes(int number) const {
  std::vector<uint8_t> all;
  for (const auto& c : wire_)
    if (c.fromHost && c.port == number) all.insert(all.end(), c.bytes.begin(), c.bytes.end());
  return all;
}

size_t VirtualSerialPorts::HostWrites(int number) const {
  return static_cast<size_t>(std::count_if(wire_.begin(), wire_.end(), [&](const WireChunk& c) {
    return c.fromHost && c.port == number;
  }));
}

namespace {

class RecordingProgress : public ProgressView {
 public:
  explicit RecordingProgress(RecordingUi& ui) : ui_(ui) { ++ui_.windowsOpen; }
  ~RecordingProgress() override { --ui_.windowsOpen; }
  void SetPosition(int percent) override { ui_.positions.push_back(percent); }
  void SetStatus(const std::string& text) override { ui_.status.push_back(text); }
  void Repaint() override {}

 private:
  RecordingUi& ui_;
};

}  // namespace

std::unique_ptr<ProgressView> RecordingUi::OpenProgress(ProgressKind) {
  ++windowsOpened;
  return std::make_unique<RecordingProgress>(*this);
}

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "wpl-XXXXXX").string();
  if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl + "/";
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::vector<uint8_t> VirtualEnv::File(const std::string& name) const {
  return ReadFileBytes(Path(name));
}

bool VirtualEnv::Exists(const std::string& name) const {
  return std::filesystem::exists(Path(name));
}

void VirtualEnv::Put(const std::string& name, const std::vector<uint8_t>& bytes) const {
  WriteFile(Path(name), bytes);
}

VirtualEnv::VirtualEnv() : files(std::make_unique<SystemFileSystem>()) {
  env.clock = &clock;
  env.serial = &serial;
  env.files = files.get();
  env.ui = &ui;
  env.dataDir = dir.path();
  env.sockets = &sockets;
}

}  // namespace wpl::testing
