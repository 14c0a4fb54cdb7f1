// `slabrip xml SLAB`: the text of the driver's "View XML" page.
#pragma once

#include <ostream>
#include <string>

#include "hpraster/hp_job_settings.h"

namespace slabrip {

struct TXmlOptions {
  std::string Slab;
  std::string DriversFolder;  // where the printer description files are
  std::string LibraryFolder;  // where libhpldrlgl.so is
  THPJobSettings Settings;    // PrinterModelId set overrides the description file
};

/// Returns the exit code; the page's text goes to `out`, reasons to `err`.
int RunXml(const TXmlOptions& options, std::ostream& out, std::ostream& err);

}  // namespace slabrip
