#include "document/pixel_codecs.h"
