// Fuzzes the ini storage with the slab and job loaders: the input is written
// as a slab file and as a job file beside it, loaded, and its status saved.
#include <unistd.h>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "base/date_time.h"
#include "base/errors.h"
#include "base/ini_file.h"
#include "jobs/rip_slab.h"

namespace {

// One folder for the whole run; the files in it are rewritten per input.
const std::string& WorkFolder() {
  static const std::string folder = [] {
    std::string pattern = "/tmp/slabrip-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    std::ofstream(pattern + "/doc.cmf").put('\0');
    return pattern;
  }();
  return folder;
}

void WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace slabrip;
  const std::string& folder = WorkFolder();
  const std::string slabPath = folder + "/fuzz.RipSlab";
  WriteFile(slabPath, data, size);
  WriteFile(folder + "/job.RipJob", data, size);

  const TqlInifile ini(slabPath);
  for (const std::string& section : ini.ReadSections()) {
    if (const auto embedded = ini.ReadEmbeddedIni(section)) (void)embedded->ReadSections();
    for (const std::string& key : ini.ReadSection(section)) {
      (void)ini.ReadInt64(section, key, 0);
      (void)ini.ReadFloat(section, key, 0);
      (void)ParseDateTime(ini.ReadString(section, key, ""));
    }
  }

  auto job = MakeRef<TRipfileData>();
  try {
    job->LoadFromFile(folder + "/job.RipJob");
    (void)job->IsSpotColour(job->SpotMask.SpotCount);
  } catch (const TError&) {
    // a job file that does not load says why; nothing more to read from it
  }

  auto slab = MakeRef<TRipSlab>();
  if (slab->LoadFromFile(slabPath)) {
    slab->UpdateProgress();
    slab->SaveStatus();
    for (const TRipJobPos& pos : slab->Placements) (void)slab->Job(pos.JobIndex());
  }
  return 0;
}
