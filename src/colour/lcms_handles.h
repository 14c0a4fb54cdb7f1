// Owning handles for Little CMS profiles and transforms.
#pragma once

#include <lcms2.h>
#include <memory>
#include <type_traits>

namespace slabrip {

struct TLcmsProfileCloser {
  void operator()(void* profile) const { cmsCloseProfile(profile); }
};
struct TLcmsTransformDeleter {
  void operator()(void* transform) const { cmsDeleteTransform(transform); }
};

/// A profile closed when the handle goes.
using TLcmsProfile = std::unique_ptr<std::remove_pointer_t<cmsHPROFILE>, TLcmsProfileCloser>;
/// A transform deleted when the handle goes.
using TLcmsTransform = std::unique_ptr<std::remove_pointer_t<cmsHTRANSFORM>, TLcmsTransformDeleter>;

}  // namespace slabrip
