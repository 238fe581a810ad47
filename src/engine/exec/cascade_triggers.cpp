#include "engine/exec/cascade_triggers.h"

namespace engine::exec {

CascadeTriggerFiring::CascadeTriggerFiring(
    ExecContext& ctx, const std::vector<ReferentialWrites::CascadedRows>& cascaded) {
    for (auto it = cascaded.rbegin(); it != cascaded.rend(); ++it) {
        for (TriggerEvent event : {TriggerEvent::Delete, TriggerEvent::Update}) {
            const bool any =
                event == TriggerEvent::Delete ? !it->deleted.empty() : !it->after.empty();
            if (!any) continue;
            auto triggers = std::make_unique<TriggerFiring>(ctx, *it->table, event);
            if (triggers->active()) firings_.push_back({std::move(triggers), &*it, event});
        }
    }
}

void CascadeTriggerFiring::begin() {
    for (auto it = firings_.rbegin(); it != firings_.rend(); ++it)
        it->triggers->begin();
}

void CascadeTriggerFiring::fire() {
    for (Firing& f : firings_) {
        const auto& rows = *f.rows;
        if (f.event == TriggerEvent::Delete) {
            f.triggers->fire({}, rows.deleted, {}, static_cast<int64_t>(rows.deleted.size()));
        } else {
            f.triggers->fire(rows.after, rows.before, rows.updatedColumns,
                             static_cast<int64_t>(rows.after.size()));
        }
    }
}

}  // namespace engine::exec
