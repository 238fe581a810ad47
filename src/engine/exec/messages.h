// Messages of the executor: SQL Server's message catalogue (engine/types) plus the few
// messages the executor raises that the catalogue does not hold yet, with their exact
// templates and severities. Thread-safe (immutable tables).
#pragma once

#include <string>
#include <vector>

#include "engine/types/sql_message.h"

namespace engine::exec {

// As sqlMessage(), falling back to the executor's own templates.
SqlMessage engineMessage(int number, const std::vector<std::string>& args = {});

}  // namespace engine::exec
