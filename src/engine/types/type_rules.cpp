#include "engine/types/type_rules.h"
