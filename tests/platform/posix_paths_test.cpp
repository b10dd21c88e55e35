// The POSIX form of the path helpers the importer uses; the Windows form is
// tested under Wine.
#include <gtest/gtest.h>

#include "platform/platform.hpp"

namespace glyphreel::platform {
namespace {

TEST(PosixPaths, ParentFolderAndJoin) {
  const struct {
    const char* path;
    const char* parent;
  } parents[] = {
      {"disc.cue", ""},        {"rips/disc.cue", "rips"}, {"/disc.cue", "/"},
      {"/a/b//c.bin", "/a/b"}, {"a b/c d.cue", "a b"},
  };
  for (const auto& [path, parent] : parents) {
    EXPECT_EQ(parent_folder(path), parent) << path;
  }
  EXPECT_EQ(join_path("", "t.bin"), "t.bin");
  EXPECT_EQ(join_path("rips", "t 1.bin"), "rips/t 1.bin");
  EXPECT_EQ(join_path("/", "t.bin"), "/t.bin");
  EXPECT_EQ(join_path("rips/", "t.bin"), "rips/t.bin");
  EXPECT_EQ(join_path("rips", "/abs/t.bin"), "/abs/t.bin");
}

}  // namespace
}  // namespace glyphreel::platform
