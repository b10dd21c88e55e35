#include "main/glyphreel-import/progress.hpp"

#include <gtest/gtest.h>

namespace glyphreel {
namespace {

std::string run_stage(bool terminal, std::uint64_t total,
                      std::initializer_list<std::uint64_t> steps) {
  std::string written;
  Progress progress("copying the image", total, terminal,
                    [&](std::string_view text) { written += text; });
  for (const std::uint64_t done : steps) progress.update(done);
  progress.finish();
  return written;
}

TEST(Progress, SmallJobsShowNothing) {
  const std::uint64_t small = progress_threshold_sectors;
  EXPECT_EQ(run_stage(true, small, {small / 2, small}), "");
  EXPECT_EQ(run_stage(false, small, {small}), "");
}

TEST(Progress, OneLineOffATerminalRedrawnOnIt) {
  const std::uint64_t total = 4 * progress_threshold_sectors;
  EXPECT_EQ(run_stage(false, total, {total / 2, total}),
            "glyphreel-import: copying the image: " + std::to_string(total) +
                " sectors\n");
  // Before the threshold nothing; then one redraw per new text.
  EXPECT_EQ(run_stage(true, total, {total / 8, total / 2, total / 2, total}),
            "\rglyphreel-import: copying the image: 50 %"
            "\rglyphreel-import: copying the image: 100 %\n");
  // Work of unknown size counts sectors.
  EXPECT_EQ(run_stage(true, 0, {total}),
            "\rglyphreel-import: copying the image: " + std::to_string(total) +
                " sectors\n");
}

}  // namespace
}  // namespace glyphreel
