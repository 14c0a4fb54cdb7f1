#include "geometry/geo_curve.h"
