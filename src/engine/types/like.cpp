#include "engine/types/like.h"
