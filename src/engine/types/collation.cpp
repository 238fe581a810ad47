#include "engine/types/collation.h"
