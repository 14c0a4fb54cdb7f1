#include "raster/image_decode.h"
