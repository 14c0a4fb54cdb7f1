// What a print would leave out of what the slab asks for, found before the first row.
#pragma once

#include <string>
#include <vector>

namespace slabrip {

class TRipEngine;

/// One line for every problem that changes what is printed: jobs that did
/// not load and the placements they leave empty, documents, cut files,
/// textures, nodes and images missing or dropped, text marks left out or cut,
/// no colour tables. Empty when the slab prints as it asks. Call it once the
/// engine's buffers are prepared (the alignment marks are made then).
/// `tablesProblem` is why the colour tables could not be built, when known.
std::vector<std::string> Preflight(const TRipEngine& engine, const std::string& tablesProblem = {});

}  // namespace slabrip
