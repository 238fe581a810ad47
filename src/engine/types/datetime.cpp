#include "engine/types/datetime.h"
