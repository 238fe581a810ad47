#include "engine/types/data_type.h"
