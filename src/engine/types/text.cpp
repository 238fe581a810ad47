#include "engine/types/text.h"
