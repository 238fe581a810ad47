#include "engine/types/sql_message.h"
