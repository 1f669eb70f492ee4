// Reads the version resource of a PE image on any machine: the fixed file and
// product versions and every string of StringFileInfo, one per line:
//
//   fixed file 1.0.0.0
//   fixed product 1.0.0.0
//   FileDescription=...
//
// Each offset and length read from the file is checked against the file's
// size before it is used.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Image {
  std::vector<uint8_t> bytes;
  bool Has(size_t at, size_t n) const { return at <= bytes.size() && n <= bytes.size() - at; }
  uint32_t U16(size_t at) const { return Has(at, 2) ? bytes[at] | bytes[at + 1] << 8 : 0; }
  uint32_t U32(size_t at) const { return Has(at, 4) ? U16(at) | U16(at + 2) << 16 : 0; }
};

[[noreturn]] void Fail(const char* why) {
  std::fprintf(stderr, "pe_version: %s\n", why);
  std::exit(1);
}

// A resource directory's first entry (the version resource has one name and
// one language): the offset it points to, flagged when it is a subdirectory.
uint32_t FirstEntry(const Image& im, size_t rsrc, size_t dir) {
  const size_t entries = im.U16(rsrc + dir + 12) + im.U16(rsrc + dir + 14);
  if (entries == 0) Fail("empty resource directory");
  return im.U32(rsrc + dir + 16 + 4);
}

// UTF-16 text (ASCII range) from `at` up to its terminator or `end`.
std::string Text(const Image& im, size_t& at, size_t end) {
  std::string s;
  while (at + 2 <= end) {
    const uint32_t c = im.U16(at);
    at += 2;
    if (c == 0) break;
    s += c < 0x80 ? static_cast<char>(c) : '?';
  }
  return s;
}

size_t Align4(size_t at, size_t base) { return base + ((at - base + 3) & ~size_t{3}); }

// One node of VS_VERSIONINFO: wLength, wValueLength, wType, szKey, value,
// children. String values (wType 1) under StringFileInfo are printed.
void Walk(const Image& im, size_t at, size_t end, size_t base) {
  const size_t length = im.U16(at), valueLength = im.U16(at + 2), type = im.U16(at + 4);
  if (length < 6 || at + length > end) Fail("bad version node");
  const size_t nodeEnd = at + length;
  size_t p = at + 6;
  const std::string key = Text(im, p, nodeEnd);
  p = Align4(p, base);
  if (key == "VS_VERSION_INFO") {
    if (valueLength < 52 || im.U32(p) != 0xFEEF04BD) Fail("no fixed file info");
    auto version = [&](size_t ms) {
      const uint32_t hi = im.U32(ms), lo = im.U32(ms + 4);
      std::printf("%u.%u.%u.%u\n", hi >> 16, hi & 0xFFFF, lo >> 16, lo & 0xFFFF);
    };
    std::printf("fixed file ");
    version(p + 8);
    std::printf("fixed product ");
    version(p + 16);
    p = Align4(p + valueLength, base);
  } else if (type == 1 && valueLength > 0) {
    size_t v = p;
    std::printf("%s=%s\n", key.c_str(), Text(im, v, nodeEnd).c_str());
    return;
  } else {
    p = Align4(p + valueLength, base);
  }
  while (p + 6 <= nodeEnd) {
    const size_t child = im.U16(p);
    if (child == 0) break;
    Walk(im, p, nodeEnd, base);
    p = Align4(p + child, base);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) Fail("usage: pe_version FILE");
  std::ifstream in(argv[1], std::ios::binary);
  Image im{{std::istreambuf_iterator<char>(in), {}}};
  if (!im.Has(0, 64) || im.U16(0) != 0x5A4D) Fail("not an MZ image");
  const size_t pe = im.U32(0x3C);
  if (im.U32(pe) != 0x00004550) Fail("not a PE image");
  const size_t sections = im.U16(pe + 6), optional = pe + 24, optSize = im.U16(pe + 20);
  const bool pe32plus = im.U16(optional) == 0x20B;
  const size_t dirs = optional + (pe32plus ? 112 : 96);
  const uint32_t rsrcRva = im.U32(dirs + 2 * 8);  // data directory 2: resources
  if (rsrcRva == 0) Fail("no resources");
  size_t rsrc = 0;
  uint32_t sectionRva = 0;
  for (size_t i = 0; i < sections; ++i) {
    const size_t s = optional + optSize + 40 * i;
    const uint32_t va = im.U32(s + 12), size = im.U32(s + 8), raw = im.U32(s + 20);
    if (rsrcRva >= va && rsrcRva < va + size) {
      rsrc = raw + (rsrcRva - va);
      sectionRva = va - raw;  // file offset of an RVA in this section: rva - sectionRva
    }
  }
  if (rsrc == 0) Fail("resource section not found");
  // Level 1: find type 16 (RT_VERSION).
  const size_t named = im.U16(rsrc + 12), ids = im.U16(rsrc + 14);
  uint32_t typeDir = 0;
  for (size_t i = 0; i < named + ids; ++i)
    if (im.U32(rsrc + 16 + 8 * i) == 16) typeDir = im.U32(rsrc + 16 + 8 * i + 4);
  if (!(typeDir & 0x80000000u)) Fail("no version resource");
  const uint32_t langDir = FirstEntry(im, rsrc, typeDir & 0x7FFFFFFFu);
  if (!(langDir & 0x80000000u)) Fail("bad version resource");
  const uint32_t entry = FirstEntry(im, rsrc, langDir & 0x7FFFFFFFu);
  const size_t data = im.U32(rsrc + entry) - sectionRva, size = im.U32(rsrc + entry + 4);
  if (!im.Has(data, size)) Fail("version resource outside the file");
  Walk(im, data, data + size, data);
  return 0;
}
