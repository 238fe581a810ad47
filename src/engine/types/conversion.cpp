#include "engine/types/conversion.h"
