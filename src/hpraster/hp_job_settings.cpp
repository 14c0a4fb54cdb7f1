#include "hpraster/hp_job_settings.h"

#include <algorithm>

namespace slabrip {
namespace {

template <class Field>
constexpr bool Distinct(Field field) {
  for (std::size_t i = 0; i < kMediaValues.size(); ++i)
    for (std::size_t j = 0; j < i; ++j)
      if (field(kMediaValues[i]) == field(kMediaValues[j])) return false;
  return true;
}

// A member no entry sets would leave this incompletely initialised, which does not compile.
[[maybe_unused]] constexpr THPMediaValues kDefaults;
static_assert(Distinct([](const TMediaValue& v) { return std::string_view(v.Key); }));
static_assert(Distinct([](const TMediaValue& v) { return std::string_view(v.TicketElement); }));
static_assert(std::ranges::all_of(kMediaValues, [](const TMediaValue& v) {
  return v.Min <= v.Default && v.Default <= v.Max;
}));

}  // namespace

const TMediaValue* FindMediaValue(std::string_view key) {
  const auto* found =
      std::ranges::find_if(kMediaValues, [key](const TMediaValue& v) { return key == v.Key; });
  return found == kMediaValues.end() ? nullptr : found;
}

}  // namespace slabrip
