// The AFTER triggers of the tables that a statement's FOREIGN KEY actions change (ON DELETE /
// ON UPDATE CASCADE, SET NULL, SET DEFAULT), fired as SQL Server fires them: once every
// action is done, the tables the actions reached last first, each for the rows the actions
// deleted and for those they updated; the triggers of the statement's own table come after
// them. Thread-compatible.
#pragma once

#include <memory>
#include <vector>

#include "engine/exec/foreign_keys.h"
#include "engine/exec/triggers.h"

namespace engine::exec {

class CascadeTriggerFiring {
  public:
    CascadeTriggerFiring(ExecContext& ctx,
                         const std::vector<ReferentialWrites::CascadedRows>& cascaded);

    // Whether any of those tables has a trigger for what was done to it.
    bool active() const { return !firings_.empty(); }
    // Before the statement's changes are applied, after the statement's own TriggerFiring
    // began (the one that fires last takes the transaction of its own, if one is needed).
    void begin();
    // After the changes are applied, before the statement's own triggers fire.
    void fire();

  private:
    struct Firing {
        std::unique_ptr<TriggerFiring> triggers;
        const ReferentialWrites::CascadedRows* rows = nullptr;
        TriggerEvent event = TriggerEvent::Delete;
    };
    std::vector<Firing> firings_;  // in the order they fire
};

}  // namespace engine::exec
