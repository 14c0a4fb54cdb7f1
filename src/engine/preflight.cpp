#include "engine/preflight.h"

#include <fmt/format.h>

#include <map>

#include "engine/rip_engine.h"

namespace slabrip {
namespace {

std::string JobLabel(std::size_t index, const TRipfileData* job) {
  const std::string key = fmt::format("Job{:03}", index);
  return job == nullptr || job->JobName.empty() ? key : fmt::format("{} ({})", key, job->JobName);
}

void AddJobProblems(std::vector<std::string>& problems, std::size_t index, const TRipfileData& job) {
  const std::string label = JobLabel(index, &job);
  if (!job.Document) {
    problems.push_back(fmt::format("{}: document not loaded: {}", label, job.DocumentProblem));
  } else {
    // Embedded files decode only when drawn: here, so a failure shows before the print.
    job.Document->CheckEmbeddedImages();
    for (const std::string& problem : job.Document->Problems) problems.push_back(label + ": " + problem);
  }
  if (!job.CutGeo.empty() && !job.CutGeometry)
    problems.push_back(fmt::format("{}: cut file not loaded: {}", label, job.CutGeo));
  if (job.Marks)
    for (const std::string& problem : job.Marks->Problems()) problems.push_back(label + ": " + problem);
}

// Placements of a job that did not load draw nothing: said once per job, with how many.
void AddPlacementProblems(std::vector<std::string>& problems, const TRipSlab& slab) {
  std::map<std::int32_t, int> empty;
  for (const TRipJobPos& placement : slab.Placements) {
    const std::int32_t index = placement.JobIndex();
    if (index >= 0 && !slab.Job(index)) ++empty[index];
  }
  for (const auto& [index, count] : empty) {
    const bool named = static_cast<std::size_t>(index) < slab.JobCount();
    problems.push_back(fmt::format("{} placement{} of {} draw{} nothing: {}", count, count == 1 ? "" : "s",
                                   JobLabel(static_cast<std::size_t>(index), nullptr), count == 1 ? "s" : "",
                                   named ? "the job did not load" : "the slab names no such job"));
  }
}

}  // namespace

std::vector<std::string> Preflight(const TRipEngine& engine, const std::string& tablesProblem) {
  std::vector<std::string> problems;
  const TRef<TRipSlab>& slab = engine.Slab();
  if (!slab) return problems;
  problems = slab->Problems();
  AddPlacementProblems(problems, *slab);
  for (std::size_t i = 0; i < slab->JobCount(); ++i)
    if (const auto job = slab->Job(static_cast<std::int64_t>(i))) AddJobProblems(problems, i, *job);
  if (engine.AlignMarks())
    for (const std::string& problem : engine.AlignMarks()->Problems()) problems.push_back("alignment marks: " + problem);
  if (!engine.InkManager())
    problems.push_back("no colour tables" + (tablesProblem.empty() ? std::string() : ": " + tablesProblem));
  return problems;
}

}  // namespace slabrip
