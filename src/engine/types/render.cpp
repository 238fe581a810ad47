#include "engine/types/render.h"
