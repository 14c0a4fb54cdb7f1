#include "render/brushes.h"
