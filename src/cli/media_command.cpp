#include "cli/media_command.h"

#include <fmt/ostream.h>

#include "base/errors.h"
#include "base/number_text.h"
#include "driver/media_settings.h"

namespace slabrip {

int RunMedia(const std::string& settingsFile, const TMediaCommand& command, std::ostream& out, std::ostream& err) {
  TMediaList media(settingsFile);
  media.LoadMediaList();
  const bool listed = media.IndexOf(command.Name) >= 0;
  try {
    if (command.Action == "list") {
      for (const std::string& name : media.Names()) fmt::print(out, "{}\n", name);
      return 0;
    }
    if (command.Action == "add" && listed) throw TError("The selected media name already exists!\n" + command.Name);
    if (command.Action != "add" && !listed)
      throw TError(fmt::format("No media settings named \"{}\" in {}", command.Name, settingsFile));
    THPMediaValues values;
    if (command.Action == "add") {
      media.AddMedia(command.Name);
    } else {
      media.ApplyMedia(command.Name, values);
    }
    if (command.Action == "show") {
      for (const TMediaValue& value : kMediaValues)
        fmt::print(out, "{}={}\n", value.Key, FormatGeneral(values.*value.Value));
      return 0;
    }
    if (command.Action == "delete") {
      media.DeleteMedia(command.Name, values);
      return 0;
    }
    for (const auto& [value, number] : command.Values) values.*value->Value = number;
    media.SaveMedia(command.Name, values);
    return 0;
  } catch (const TError& e) {
    fmt::print(err, "error: {}\n", e.what());
    return 1;
  }
}

}  // namespace slabrip
