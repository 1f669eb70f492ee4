// The fingerprint exports and pclog fp against pclog-sim on pseudo-terminals,
// in real time: the line handed to the module at 9600 and back.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "sim_process.h"
#include "w_pclog.h"

namespace wpl::e2e {
namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(Fingerprint, ModuleAndTemplateExports) {
  PortFolder ports;
  SimProcess module({"--link", ports.Port(2), "--module", "--module-version", "51"}, ports.Port(2));
  SimProcess terminal({"--link", ports.Port(4), "--templates", "3"}, ports.Port(4));
  // Port 1 has no device: the module is found on the next one.
  EXPECT_EQ(_GETFDAVER(1), 51);
  EXPECT_EQ(_GETIDLIST(1, 4), 0);
  const std::string folder = ports.dir() + "/FINGERREC/";
  EXPECT_EQ(Slurp(folder + "IDLIST.TXT"), "0000010001\r\n0000010002\r\n0000020001\r\n");
  EXPECT_EQ(_GETIDFPREC(1, 4, 2, 0, 1), 0);
  EXPECT_EQ(std::filesystem::file_size(folder + "FP0002_1.TXT"), 816u);
  EXPECT_EQ(_DELIDFPALL(1, 4), 0);
  EXPECT_EQ(_SENDIDFPREC(1, 4, 2, 99, 1), 0);
  EXPECT_EQ(_GETIDLIST(1, 4), 0);
  EXPECT_EQ(Slurp(folder + "IDLIST.TXT"), "0000020001\r\n");
}

TEST(Fingerprint, CopyFiftyTemplatesBetweenTerminals) {
  PortFolder ports;
  const std::string from = ports.dir() + "/from", to = ports.dir() + "/to";
  SimProcess source({"--link", ports.Port(3), "--templates", "50", "--template-seed", "9",
                     "--save-templates", from},
                    ports.Port(3));
  SimProcess target({"--link", ports.Port(5), "--address", "7", "--save-templates", to},
                    ports.Port(5));
  const std::string cli = std::string(PCLOG_CLI) + " fp copy --from 3 --to 7@5 >" + ports.dir() +
                          "/copy.txt 2>/dev/null";
  const int status = std::system(cli.c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << Slurp(ports.dir() + "/copy.txt");
  EXPECT_NE(Slurp(ports.dir() + "/copy.txt").find("50 templates, 50 done, 0 failed"),
            std::string::npos);
  EXPECT_EQ(source.Stop(), 0);
  EXPECT_EQ(target.Stop(), 0);
  // The target holds the source's templates, byte for byte.
  const std::string list = Slurp(from + "/IDLIST.TXT");
  EXPECT_EQ(list.size(), 50u * 12);
  EXPECT_EQ(Slurp(to + "/IDLIST.TXT"), list);
  size_t files = 0;
  for (const auto& e : std::filesystem::directory_iterator(from)) {
    const std::string name = e.path().filename().string();
    if (name == "IDLIST.TXT") continue;
    EXPECT_EQ(Slurp(to + "/" + name), Slurp(e.path().string())) << name;
    ++files;
  }
  EXPECT_EQ(files, 50u);
}

}  // namespace
}  // namespace wpl::e2e
