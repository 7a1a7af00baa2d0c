// A tiny file with an enormous logical screen, through every command under a 2 GB address-space limit:
// each refuses with a message or works in bounded memory; none aborts, hangs or runs out of the limit.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/cli_run.h"

namespace lw {
namespace {

using test::Cli;
using test::TempDir;

// A w × h screen holding one 1 × 1 frame (35 bytes).
std::string ScreenFile(const TempDir& dir, int w, int h) {
  test::GifBytes g;
  g.Header(w, h, true, 0).Image(0, 0, 1, 1, {1}).Trailer();
  const std::string path = dir / ("screen" + std::to_string(w) + ".gif");
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(g.b.data()), static_cast<std::streamsize>(g.b.size()));
  return path;
}

// Under 2 GB of address space, and at most a minute.
void RunLimited(const std::string& args, const TempDir& dir) {
  test::CliRun r = Cli(args, dir, "ulimit -v 2000000; exec timeout 60 ");
  SCOPED_TRACE(args);
  EXPECT_TRUE(r.exitCode == 0 || r.exitCode == 1) << "exit " << r.exitCode << "\n" << r.err;
  EXPECT_EQ(r.err.find("terminate"), std::string::npos) << r.err;
  if (r.exitCode == 1) {
    EXPECT_NE(r.err, "");
  }
}

TEST(MemoryCli, EnormousScreensNeverEndTheToolOrExceedTheLimit) {
  TempDir dir;
  const std::string huge = ScreenFile(dir, 65535, 65535);
  const std::string out = dir / "out.gif";
  std::filesystem::create_directory(dir / "frames");
  for (const std::string& args :
       {"info " + huge, "copy " + huge + " " + out, "optimize " + huge + " -o " + out,
        "optimize " + huge + " -o " + out + " --best", "unoptimize " + huge + " -o " + out,
        "render " + huge + " --out " + (dir / "frames"),
        "filmstrip " + huge + " -o " + out + " --per-strip 1",
        "export-avi " + huge + " -o " + (dir / "out.avi"), "reduce " + huge + " -o " + out + " --bits 3",
        "rotate " + huge + " -o " + out + " --frame 1 --cw",
        "set " + huge + " -o " + out + " --all --delay 5",
        "crop " + huge + " -o " + out + " --frame 1 --size 1x1",
        "insert " + huge + " " + huge + " -o " + out})
    RunLimited(args, dir);
  // A screen within the frame limit but too large to compose twice over in 2 GB: the stronger optimizer
  // and the renderer run out of memory and say so.
  const std::string big = ScreenFile(dir, 16383, 16383);
  for (const std::string& args :
       {"optimize " + big + " -o " + out + " --best", "render " + big + " --out " + (dir / "frames")})
    RunLimited(args, dir);
}

}  // namespace
}  // namespace lw
