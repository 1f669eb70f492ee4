#include "record_options.h"

#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>

namespace wpl::sim {
namespace {

const std::map<std::string, PacketFault> kPacketFaults = {
    {"bad-checksum", PacketFault::kBadChecksum}, {"short", PacketFault::kShort},
    {"surplus", PacketFault::kSurplus},          {"silence", PacketFault::kSilence},
    {"repeat", PacketFault::kRepeatPrevious},    {"skip-sequence", PacketFault::kSkipSequence},
    {"oversize", PacketFault::kOversize},        {"bad-header", PacketFault::kBadHeader},
    {"header-type3", PacketFault::kHeaderType3}};

const std::map<std::string, EndFault> kEndFaults = {{"none", EndFault::kNone},
                                                    {"bad-packet", EndFault::kBadPacket},
                                                    {"wrong-total", EndFault::kWrongTotal},
                                                    {"trailing-byte", EndFault::kTrailingByte}};

// "N:KIND[:TIMES]": packet N (0 = header) carries KIND on its first TIMES
// sendings.
std::pair<uint32_t, FaultPlan> ParsePacketFault(const std::string& text) {
  const auto a = text.find(':');
  if (a == std::string::npos)
    throw std::runtime_error("packet fault wants N:KIND[:TIMES]: " + text);
  const auto b = text.find(':', a + 1);
  const std::string kind =
      text.substr(a + 1, b == std::string::npos ? std::string::npos : b - a - 1);
  const auto it = kPacketFaults.find(kind);
  if (it == kPacketFaults.end()) throw std::runtime_error("unknown packet fault: " + kind);
  FaultPlan plan{it->second, b == std::string::npos ? 1 : std::stoi(text.substr(b + 1))};
  return {static_cast<uint32_t>(std::stoul(text.substr(0, a))), plan};
}

}  // namespace

void AddRecordOptions(CLI::App& app, RecordOptions& o) {
  app.add_option("--records", o.count, "Records to generate into the store");
  app.add_option("--seed", o.seed, "Seed of the generated records");
  app.add_option("--record-file", o.file, "Fill the store from this record file instead");
  app.add_option("--save-records", o.saveFile,
                 "Write the records the terminal starts with to this file, for comparison");
  app.add_option("--packet-fault", o.packetFaults,
                 "N:KIND[:TIMES], data packet N (0 = header) sent with a fault its first TIMES "
                 "sendings; KIND: bad-checksum, short, surplus, silence, repeat, skip-sequence, "
                 "oversize, bad-header, header-type3");
  app.add_option("--end-fault", o.endFault,
                 "The end packet: none, bad-packet, wrong-total, trailing-byte")
      ->check(CLI::IsMember({"none", "bad-packet", "wrong-total", "trailing-byte"}));
  app.add_option("--end-fault-times", o.endFaultTimes,
                 "Only the first N sendings of the end packet carry the fault");
  app.add_option("--random-faults", o.randomRate,
                 "Probability of a recoverable fault on each packet's first sending");
  app.add_option("--fault-seed", o.faultSeed, "Seed of the random faults");
  app.add_option("--payload-per-packet", o.payloadPerPacket,
                 "Payload bytes per data packet (6..168)");
}

void ApplyRecordOptions(const RecordOptions& o, TerminalConfig& config) {
  DownloadFaults& f = config.downloadFaults;
  for (const auto& text : o.packetFaults) f.packets.insert(ParsePacketFault(text));
  f.end = kEndFaults.at(o.endFault);
  if (o.endFaultTimes > 0) f.endTimes = o.endFaultTimes;
  f.randomRate = o.randomRate;
  f.seed = o.faultSeed;
  config.payloadPerPacket = o.payloadPerPacket;
}

void LoadRecords(const RecordOptions& o, TerminalModel& model) {
  if (o.file.empty()) {
    model.records() = GenerateRecords(o.count, o.seed);
  } else {
    std::ifstream in(o.file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + o.file);
    model.records().assign(std::istreambuf_iterator<char>(in), {});
  }
  if (o.saveFile.empty()) return;
  std::ofstream out(o.saveFile, std::ios::binary);
  out.write(reinterpret_cast<const char*>(model.records().data()),
            static_cast<std::streamsize>(model.records().size()));
  if (!out.flush()) throw std::runtime_error("cannot write " + o.saveFile);
}

}  // namespace wpl::sim
