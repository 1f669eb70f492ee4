// Writes the seed corpus of every fuzz target into DIR/<target>/: the byte
// examples the tests are built on, in each target's input layout, so that a
// long run starts from real frames, packets, records and addresses instead
// of from nothing.
//
//   wpl_seed_corpus DIR
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "download/packets.h"
#include "download_server.h"
#include "link/command_frame.h"
#include "link/serial_exports.h"

namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

bool Write(const fs::path& dir, const std::string& name, const Bytes& bytes) {
  std::FILE* f = std::fopen((dir / name).c_str(), "wb");
  if (!f) return false;
  const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

void Append(Bytes& to, const auto& bytes) { to.insert(to.end(), bytes.begin(), bytes.end()); }

// The terminal's side of a block download of `records`: header, data
// packets of 168 bytes, end packet with the total of the packet checksums.
Bytes Transfer(const Bytes& records) {
  using namespace wpl::download;
  Bytes out;
  Append(out, BuildHeader(static_cast<uint32_t>(records.size() / kRecordSize)));
  uint16_t total = 0;
  uint8_t seq = 1;
  for (size_t at = 0; at < records.size(); at += kMaxPayload, ++seq) {
    const size_t n = std::min(kMaxPayload, records.size() - at);
    uint8_t packet[kMaxDataPacket];
    const size_t size = BuildDataPacket(seq, {records.data() + at, n}, packet);
    total = static_cast<uint16_t>(total + packet[size - 1]);
    out.insert(out.end(), packet, packet + size);
  }
  Append(out, BuildEndPacket(seq, total));
  return out;
}

// The download receivers read the terminal's bytes in pieces, each led by
// a byte giving its length (1 + b % 64).
Bytes InPieces(const Bytes& bytes, size_t piece) {
  Bytes out;
  for (size_t at = 0; at < bytes.size(); at += piece) {
    const size_t n = std::min(piece, bytes.size() - at);
    out.push_back(static_cast<uint8_t>(n - 1));
    out.insert(out.end(), bytes.begin() + static_cast<long>(at),
               bytes.begin() + static_cast<long>(at + n));
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: wpl_seed_corpus DIR\n");
    return 2;
  }
  const fs::path root = argv[1];
  int written = 0, failed = 0;
  auto seed = [&](const char* target, const std::string& name, const Bytes& bytes) {
    const fs::path dir = root / target;
    std::error_code ec;
    fs::create_directories(dir, ec);
    (Write(dir, name, bytes) ? written : failed)++;
  };

  // The terminal model hears every command frame of the serial table, as
  // address 1 with no fault, followed by the download's ready byte and ACKs.
  for (const auto& row : wpl::link::kSerialExports) {
    Bytes in{0x01, 0x00};
    Append(in, wpl::link::BuildCommandFrame(1, row.command));
    Append(in, Bytes{0x15, 0x01, 0x01, 0xFE, 0x07, 0x07, 0x06});
    seed("fuzz_terminal_model", std::string(row.name.substr(1)), in);
  }

  // Record files: generated records, a stray byte before two records, and a
  // consumption record, with a few chunk and read sizes.
  const Bytes generated = wpl::sim::GenerateRecords(60, 7);
  const Bytes strayThenTwo = {0x07, 0x01, 0x02, 0x95, 0x4F, 0x28, 0x5E,
                              0x00, 0x07, 0x95, 0xCF, 0x28, 0x5E};
  const Bytes consumption = {0x09, 0x05, 0x0F, 0x08, 0x1E, 0x00, 0x04, 0x00, 0x00,
                             0x30, 0x39, 0x2D, 0x00, 0x00, 0x96, 0x01, 0x00};
  for (uint8_t chunk : {uint8_t{5}, uint8_t{63}}) {
    const std::string suffix = "-chunk" + std::to_string(chunk + 1);
    Bytes records{chunk, 7};
    Append(records, generated);
    seed("fuzz_clocking_scan", "generated" + suffix, records);
    Bytes stray{chunk, 3};
    Append(stray, strayThenTwo);
    seed("fuzz_clocking_scan", "stray-then-two" + suffix, stray);
    Bytes xf{chunk, 16};
    Append(xf, consumption);
    Append(xf, Bytes{0x00});
    Append(xf, consumption);
    seed("fuzz_consumption_scan", "two-records" + suffix, xf);
  }

  // Addresses as the network exports meet them.
  for (const char* text : {"127.0.0.1", "192.168.1.201", "127.000.008.007", "1.2.3.4:1024",
                           " 127.0.0.1", "255.255.255.255", "0.0.0.0", "127.0.0", "1..2.3"}) {
    const std::string s = text;
    seed("fuzz_ipv4_text", "ip-" + std::to_string(written), Bytes(s.begin(), s.end()));
  }

  // Whole transfers of 0, 3, 28 and 100 records, in large and small pieces.
  for (uint32_t count : {0u, 3u, 28u, 100u}) {
    const Bytes transfer = Transfer(wpl::sim::GenerateRecords(count, count + 1));
    for (size_t piece : {size_t{64}, size_t{7}})
      seed("fuzz_download_receivers",
           std::to_string(count) + "-records-by-" + std::to_string(piece),
           InPieces(transfer, piece));
  }

  std::printf("%d seeds written to %s\n", written, root.c_str());
  return failed == 0 ? 0 : 1;
}
