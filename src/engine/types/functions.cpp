#include "engine/types/functions.h"
