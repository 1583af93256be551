#include "engine/packed_image.h"
