#include "engine/output_channel.h"
