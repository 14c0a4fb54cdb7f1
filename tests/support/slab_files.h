// Slab and job files written by code, the way the design suite lays them out.
#pragma once

#include <string>
#include <vector>

#include "jobs/rip_job_pos.h"
#include "support/temp_dir.h"

namespace slabrip::test {

/// A job file naming `document` by a Windows path, with a 100 x 50 mm frame;
/// `extra` lines are appended as they stand.
std::string JobFileText(const std::string& document, const std::string& extra = "");

/// A placement of job `job` at (x, y) without rotation, 100 x 50 mm.
TRipJobPos Placement(int job, float x, float y);

/// A slab file naming `jobs` (Windows paths) and holding `placements`;
/// `info` lines go into [Info] before the generated keys, `tail` at the end.
std::string SlabFileText(const std::vector<std::string>& jobs, const std::vector<TRipJobPos>& placements,
                         const std::string& info = "", const std::string& tail = "");

/// A folder holding one job file "a.RipJob" with its document "a.cmf", and
/// "slab.RipSlab" placing it twice; returns the slab's path.
std::string WriteSimpleSlab(const TTempDir& dir, const std::string& info = "", const std::string& tail = "");

}  // namespace slabrip::test
