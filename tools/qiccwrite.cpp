// qiccwrite: precomputes the four-ink table of a CMYK output profile into a
// QICC table file, the form the driver loads without Little CMS.
#include <CLI/CLI.hpp>
#include <iostream>

#include "base/errors.h"
#include "base/file_paths.h"
#include "base/version.h"
#include "colour/icc_table.h"

int main(int argc, char** argv) {
  using namespace slabrip;
  CLI::App app{"qiccwrite: an ICC profile's four-ink table as a QICC table file"};
  app.set_version_flag("--version", slabrip::VersionLine("qiccwrite"));
  std::string profile, output;
  int intent = INTENT_PERCEPTUAL;
  float inkLimit = 0;
  app.add_option("PROFILE", profile, "CMYK output ICC profile")->required()->check(CLI::ExistingFile);
  app.add_option("OUTPUT", output, "Table file to write (.qicc)")->required();
  app.add_option("--intent", intent, "Rendering intent: 0 perceptual, 1 relative, 2 saturation, 3 absolute")
      ->check(CLI::Range(0, 3));
  app.add_option("--ink-limit", inkLimit, "Total ink limit in percent (1 or less: none)");
  CLI11_PARSE(app, argc, argv);
  try {
    TLcmsProfile srgb(cmsCreate_sRGBProfile());
    TLcmsProfile cmyk(cmsOpenProfileFromFile(profile.c_str(), "r"));
    if (!cmyk) throw TError(profile + ": not an ICC profile");
    TLcmsTransform transform(cmsCreateTransform(srgb.get(), TYPE_RGB_DBL, cmyk.get(), TYPE_CMYK_DBL,
                                                static_cast<cmsUInt32Number>(intent), cmsFLAGS_NOOPTIMIZE));
    if (!transform) throw TError(profile + ": cannot convert RGB to CMYK with this profile");
    const auto table = BuildTableFromProfile(transform.get(), inkLimit);
    const std::vector<TColor32> entries(table->Grid().begin(), table->Grid().end());
    WriteFileAtomically(output, EncodeTableFile(entries, nullptr));
  } catch (const std::exception& e) {
    std::cerr << e.what() << '\n';
    return 1;
  }
  return 0;
}
