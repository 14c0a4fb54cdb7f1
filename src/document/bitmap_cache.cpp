#include "document/bitmap_cache.h"
