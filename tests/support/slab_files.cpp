#include "support/slab_files.h"

#include <fmt/format.h>

namespace slabrip::test {

std::string JobFileText(const std::string& document, const std::string& extra) {
  return fmt::format(
      "[Job]\r\nSrcFile=C:\\Jobs\\{}\r\nJobName=Test job\r\nDate=2026-12-08 10:00:00\r\n"
      "[FullBounds]\r\nMinX=0\r\nMinY=0\r\nMaxX=100\r\nMaxY=50\r\n{}",
      document, extra);
}

TRipJobPos Placement(int job, float x, float y) {
  TRipJobPos pos;
  pos.SetJobIndex(job);
  pos.SetPlacedBounds({x, y, x + 100, y + 50});
  pos.SetTransform({x, y, 1, 0, 0, 1});
  return pos;
}

std::string SlabFileText(const std::vector<std::string>& jobs, const std::vector<TRipJobPos>& placements,
                         const std::string& info, const std::string& tail) {
  std::string text = "[Info]\r\n" + info +
                     "MediaWidth=1000\r\nRenderDPI=100\r\nXDPI=300\r\nYDpi=300\r\nRipHeight=100\r\n"
                     "[Jobs]\r\n" +
                     fmt::format("JobCount={}\r\n", jobs.size());
  for (std::size_t i = 0; i < jobs.size(); ++i) text += fmt::format("Job{:03}={}\r\n", i, jobs[i]);
  text += fmt::format("[RPA]\r\nCount={}\r\n", placements.size());
  for (std::size_t i = 0; i < placements.size(); ++i)
    text += fmt::format("Pos{:03}={}\r\n", i, placements[i].ToHex());
  return text + tail;
}

std::string WriteSimpleSlab(const TTempDir& dir, const std::string& info, const std::string& tail) {
  dir.Write("a.cmf", "");
  dir.Write("a.RipJob", JobFileText("a.cmf"));
  return dir.Write("slab.RipSlab", SlabFileText({"C:\\Queue\\a.RipJob"},
                                                {Placement(0, 10, 10), Placement(0, 120, 10)}, info, tail));
}

}  // namespace slabrip::test
