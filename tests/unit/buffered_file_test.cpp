#include "download/buffered_file.h"

#include <gtest/gtest.h>

#include "memory_file.h"

namespace wpl {
namespace {

using download::BufferedFile;
using testing::MemoryFile;
using Bytes = std::vector<uint8_t>;

TEST(BufferedFile, CollectsSmallWritesIntoLargeOnes) {
  MemoryFile file;
  {
    BufferedFile buffered(file, 8);
    EXPECT_TRUE(buffered.Write(Bytes{1, 2, 3}));
    EXPECT_TRUE(buffered.Write(Bytes{4, 5, 6}));
    EXPECT_EQ(file.writes, 0);
    // The next one does not fit: what is buffered goes first.
    EXPECT_TRUE(buffered.Write(Bytes{7, 8, 9}));
    EXPECT_EQ(file.data, (Bytes{1, 2, 3, 4, 5, 6}));
    // One as large as the buffer goes straight through, after the rest.
    EXPECT_TRUE(buffered.Write(Bytes(8, 0xAA)));
    EXPECT_EQ(file.data.size(), 17u);
    EXPECT_TRUE(buffered.Write(Bytes{10}));
    EXPECT_EQ(buffered.Size(), 18);  // flushes
    EXPECT_TRUE(buffered.Write(Bytes{11}));
  }
  // Destroyed: nothing stays behind.
  EXPECT_EQ(file.data.size(), 19u);
  EXPECT_EQ(file.data.back(), 11);
}

TEST(BufferedFile, AFileThatRefusesIsToldAtTheFlushAtTheLatest) {
  MemoryFile file;
  file.failWrites = true;
  BufferedFile buffered(file, 8);
  EXPECT_TRUE(buffered.Write(Bytes{1, 2, 3}));
  EXPECT_FALSE(buffered.Write(Bytes(6, 0)));  // the flush before it fails
  EXPECT_FALSE(buffered.Write(Bytes(8, 0)));
  EXPECT_TRUE(buffered.Write(Bytes{1}));
  EXPECT_FALSE(buffered.Flush());
  EXPECT_TRUE(buffered.Flush());  // nothing left
  uint8_t b;
  EXPECT_EQ(buffered.Read(std::span(&b, 1)), -1);
  EXPECT_FALSE(buffered.Seek(0));
}

}  // namespace
}  // namespace wpl
