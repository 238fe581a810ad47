#include "engine/types/literals.h"
