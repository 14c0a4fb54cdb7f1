// cmfwrite: writes the demo's cmf documents and contour-cut path, and a
// sampler of every record kind.
#include <CLI/CLI.hpp>
#include <iostream>

#include "base/file_paths.h"
#include "base/version.h"
#include "tools/demo_artwork.h"

int main(int argc, char** argv) {
  using namespace slabrip;
  CLI::App app{"cmfwrite: cmf documents built by code"};
  app.set_version_flag("--version", slabrip::VersionLine("cmfwrite"));
  std::string kind, output;
  app.add_option("KIND", kind, "sticker, hours, mural, mural-cut, sampler or texture-body")
      ->required()
      ->check(CLI::IsMember({"sticker", "hours", "mural", "mural-cut", "sampler", "texture-body"}));
  app.add_option("OUTPUT", output, "File to write")->required();
  CLI11_PARSE(app, argc, argv);
  try {
    std::vector<std::uint8_t> bytes;
    if (kind == "sticker") bytes = StickerDocument();
    if (kind == "hours") bytes = HoursDocument();
    if (kind == "mural") bytes = MuralDocument();
    if (kind == "sampler") bytes = SamplerDocument();
    if (kind == "texture-body") bytes = SampleTextureBody();
    if (kind == "mural-cut") {
      const std::string cut = MuralCutFile();
      bytes.assign(cut.begin(), cut.end());
    }
    WriteFileAtomically(output, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  } catch (const std::exception& e) {
    std::cerr << e.what() << '\n';
    return 1;
  }
  return 0;
}
