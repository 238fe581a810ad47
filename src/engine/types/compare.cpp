#include "engine/types/compare.h"
