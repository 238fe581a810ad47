#include "engine/types/value_codec.h"
