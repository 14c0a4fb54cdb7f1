#include "driver/slab_info.h"

#include <fmt/format.h>
#include <fmt/ostream.h>

#include "base/date_time.h"
#include "base/errors.h"
#include "base/ini_file.h"
#include "base/number_text.h"
#include "base/sys_paths.h"
#include "colour/ink_manager.h"
#include "colour/media_preset.h"
#include "driver/driver.h"
#include "engine/preflight.h"
#include "engine/rip_engine.h"
#include "jobs/rip_slab.h"

namespace slabrip {

namespace {

std::string Mm(float v) { return FormatGeneral(static_cast<double>(v)); }

std::string Rect(const TRectF& r) {
  return fmt::format("({}, {}) - ({}, {}) mm", Mm(r.MinX), Mm(r.MinY), Mm(r.MaxX), Mm(r.MaxY));
}

std::string StatusText(const TRipSlab& slab, const std::string& dataFolder) {
  if (GoesToFile(slab.RipStatus)) {
    const std::string local = LocalFileForSlab(slab.PrnFilename, dataFolder, slab.FileName);
    return local == slab.PrnFilename ? fmt::format("to print file {}", local)
                                     : fmt::format("to print file {}, named {}", local, slab.PrnFilename);
  }
  if (GoesToPrinter(slab.RipStatus)) return "to printer";
  if (slab.RipStatus == TRipStatus::kPrinted) return "printed";
  if (slab.RipStatus == TRipStatus::kStopped) return "stopped";
  return "not queued for printing";
}

void PrintPreset(std::ostream& out, const TRipEngine& engine, const std::string& inkProblem) {
  const TRipSlab& slab = *engine.Slab();
  if (!slab.MediaPresetSnapshot) {
    fmt::print(out, "Media preset:   none (No Media Set)\n");
    return;
  }
  const TqlInifile ini(slab.FileName);
  auto preset = MakeRef<TMediaPresetObj>();
  preset->LoadFromIni("SnapShot_MediaPreset", &ini);
  fmt::print(out, "Media preset:   {} ({}), {}\n", preset->MediaName, preset->MediaType, preset->PrintMode);
  fmt::print(out, "Profile:        {} (intent {}, ink limit {} %)\n", preset->IccProfile, preset->IccIntent,
             FormatGeneral(preset->InkLimit));
  if (const TRef<TInkManagerEx>& manager = engine.InkManager())
    fmt::print(out, "Colour tables:  built from {}{}\n", manager->ProfilePath(),
               manager->SecondTable() ? " (with a second table for four more inks)" : "");
  else
    fmt::print(out, "Colour tables:  not usable: {}\n", inkProblem);
  fmt::print(out, "Inks:           {}{}\n",
             preset->SplitsLightInks() ? "six (light cyan and light magenta split off)" : "four",
             preset->UseInkCurves ? ", ink curves on" : "");
}

std::size_t SpotColourCount(const TRipfileData& job) {
  std::size_t count = 0;
  for (int i = 0; i < 255; ++i) count += job.IsSpotColour(i) ? 1u : 0u;
  return count;
}

void PrintDocument(std::ostream& out, const TcmfFile& doc, const TRipfileData& job) {
  const auto counts = doc.NodeCounts();
  fmt::print(out, "      name:       {}\n", doc.Name.empty() ? "(none)" : doc.Name);
  fmt::print(out, "      nodes:      {} groups, {} shapes, {} images, {} other\n", counts[kNodeGroup],
             counts[kNodeGeometry], counts[kNodeImage], counts[kNodePlain]);
  fmt::print(out, "      bounds:     {}\n",
             doc.Root ? Rect(doc.DrawingBounds()) : std::string("(nothing to draw)"));
  fmt::print(out, "      gradients:  {}, textures: {}\n", doc.Gradients.size(), doc.Textures.size());
  for (std::size_t i = 0; i < doc.Colours.size(); ++i)
    fmt::print(out, "      colour {}:   {}{}\n", i, doc.Colours[i].Name,
               job.IsSpotColour(static_cast<std::int64_t>(i)) ? " (spot ink)" : "");
}

void PrintJob(std::ostream& out, std::size_t index, const TRipfileData& job) {
  fmt::print(out, "  [{}] {}\n", index, job.JobName.empty() ? "(unnamed)" : job.JobName);
  fmt::print(out, "      job file:   {}\n", job.FileName);
  const std::string document = job.ResolveFile(job.SrcFile);
  fmt::print(out, "      document:   {}\n", document.empty() ? "missing" : document);
  if (job.Document)
    PrintDocument(out, *job.Document, job);
  else
    fmt::print(out, "      not loaded: {}\n", job.DocumentProblem);
  if (!job.CutGeo.empty())
    fmt::print(out, "      cut path:   {}\n",
               job.CutGeometry ? fmt::format("{} curves", job.CutGeometry->Count()) : std::string("missing"));
  fmt::print(out, "      clip:       {}{}\n", Rect(job.ClipBounds), job.IsClipped ? " (clipped)" : "");
  fmt::print(out, "      placed:     {}\n", Rect(job.PlacedClip));
  fmt::print(out, "      scale:      {} x {}, bleed {} mm\n", Mm(job.ScaleX), Mm(job.ScaleY),
             Mm(job.JobBleed));
  if (job.IsTiled)
    fmt::print(out, "      tile:       {} of {} x {}\n", job.TileNo, job.TileColNo, job.TileRowNo);
  else
    fmt::print(out, "      tile:       not tiled\n");
  if (job.SpotMask.SpotCount == 0)
    fmt::print(out, "      spots:      none\n");
  else
    fmt::print(out, "      spots:      {} flagged (SpotCount {})\n", SpotColourCount(job),
               job.SpotMask.SpotCount);
  fmt::print(out, "      correction: {}\n", job.CorrectionLut ? "enabled, table built" : "off");
  fmt::print(out, "      marks:      {}{}\n", job.UseCropMarks ? "crop marks" : "no crop marks",
             job.UseJobText ? ", job text" : "");
  fmt::print(out, "      date:       {}\n", FormatDateTime(job.Date));
}

std::string FolderText(const TFolderChoice& choice, const char* option, const char* name) {
  if (choice.Folder.empty())
    return fmt::format("none: give {}, or put a {} folder beside the slab", option, name);
  return choice.From.empty() ? choice.Folder : fmt::format("{} (from {})", choice.Folder, choice.From);
}

}  // namespace

void WriteSlabInfo(const std::string& slabPath, const TDriverEnvironment& environment, std::ostream& out) {
  // Loaded as the driver loads it, inks and buffers included, so that what would not print shows.
  const TFolderChoice icc = FolderForSlab({environment.IccFolder, environment.IccFrom}, slabPath, "ICC");
  const TFolderChoice drivers =
      FolderForSlab({environment.DriversFolder, environment.DriversFrom}, slabPath, "Drivers");
  auto engine = MakeRef<TRipEngine>();
  engine->IccFolder = icc.Folder;
  std::string inkProblem, tablesProblem;
  try {
    engine->PrepareForSlab(slabPath);
  } catch (const ESlabNotLoaded& e) {
    throw TError("Unable to open RIP File\n" + slabPath + "\n  " + e.what());
  } catch (const ENoColourTables& e) {
    inkProblem = tablesProblem = e.what();
  } catch (const TError& e) {
    // Only what stopped the colour tables is a colour problem; the rest shows in the preflight.
    if (!engine->InkManager()) inkProblem = e.what();
  }
  const TRef<TRipSlab>& slab = engine->Slab();
  const TRipSlab& s = *slab;
  fmt::print(out, "Slab:           {}\n", s.FileName);
  fmt::print(out, "Slab ID:        {}\n", FormatHex64(s.SlabID));
  fmt::print(out, "Job name:       {}\n", s.Jobname);
  fmt::print(out, "Status:         {} ({})\n", StatusCode(s.RipStatus),
             StatusText(s, environment.DataFolder));
  fmt::print(out, "Printer:        {}\n", s.Printer);
  fmt::print(out, "Print mode:     {}\n", s.PrintMode);
  fmt::print(out, "Media:          {} x {} mm\n", Mm(s.MediaWidth), Mm(s.MediaHeight));
  fmt::print(out, "Resolution:     {} x {} dpi, rendered at {} dpi\n", Mm(s.XDPI), Mm(s.YDpi),
             Mm(s.RenderDPI));
  fmt::print(out, "Raster:         {} x {} pixels\n", s.RipWidth, s.RipHeight);
  fmt::print(out, "Render size:    {} x {} pixels\n", s.RenderWidth, s.RenderHeight);
  fmt::print(out, "ICC folder:     {}\n", FolderText(icc, "--icc-dir", "ICC"));
  fmt::print(out, "Drivers folder: {}\n", FolderText(drivers, "--drivers-dir", "Drivers"));
  PrintPreset(out, *engine, inkProblem);
  fmt::print(out, "Printer data:   {}\n", s.PrinterDataSnapshot ? "present" : "none");
  fmt::print(out, "\nJobs ({}):\n", s.JobCount());
  for (std::size_t i = 0; i < s.JobCount(); ++i) {
    if (const auto job = s.Job(static_cast<std::int64_t>(i)))
      PrintJob(out, i, *job);
    else
      fmt::print(out, "  [{}] not loaded\n", i);
  }
  fmt::print(out, "\nPlacements ({}):\n", s.Placements.size());
  for (std::size_t i = 0; i < s.Placements.size(); ++i) {
    const TRipJobPos& p = s.Placements[i];
    const TAffine t = p.Transform();
    const bool drawn = s.Job(p.JobIndex()) != nullptr;
    fmt::print(out, "  [{}] job {}{}  bounds {}  transform [{} {} {} {} {} {}]\n", i, p.JobIndex(),
               drawn ? "" : " (draws nothing)", Rect(p.PlacedBounds()), Mm(t.Dx), Mm(t.Dy), Mm(t.M11),
               Mm(t.M12), Mm(t.M21), Mm(t.M22));
  }
  const std::vector<std::string> problems = Preflight(*engine, tablesProblem);
  fmt::print(out, "\nWould print other than laid out: {}\n", problems.empty() ? "nothing" : "");
  for (const std::string& problem : problems) fmt::print(out, "  {}\n", problem);
}

}  // namespace slabrip
