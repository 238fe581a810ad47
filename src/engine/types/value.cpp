#include "engine/types/value.h"
