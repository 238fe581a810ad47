#include "engine/types/arithmetic.h"
