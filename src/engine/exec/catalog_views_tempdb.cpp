#include <algorithm>
#include <memory>

#include "engine/exec/catalog_view_support.h"

namespace engine::exec {

const Database& tempdbWithoutObjects() {
    static const Database noObjects("tempdb", 2, true);
    return noObjects;
}

Rowset buildTempdbView(const std::vector<const Database*>& scopes,
                       Rowset (*perDatabase)(const Database&, bool), bool withRows) {
    if (!withRows || scopes.empty()) return perDatabase(tempdbWithoutObjects(), withRows);
    if (scopes.size() == 1) return perDatabase(*scopes.front(), true);

    auto parts = std::make_shared<std::vector<Rowset>>();
    for (const Database* db : scopes)
        parts->push_back(perDatabase(*db, true));
    Rowset all;
    all.columns = parts->front().columns;
    const bool computed = std::any_of(parts->begin(), parts->end(),
                                      [](const Rowset& p) { return static_cast<bool>(p.cell); });
    if (!computed) {
        for (Rowset& p : *parts)
            std::move(p.rows.begin(), p.rows.end(), std::back_inserter(all.rows));
        return all;
    }
    // Views built cell by cell stay so: a row is found in the part that holds it.
    std::vector<size_t> starts;
    for (const Rowset& p : *parts) {
        starts.push_back(all.cellRows);
        all.cellRows += p.cell ? p.cellRows : p.rows.size();
    }
    all.cell = [parts, starts](size_t row, size_t column) {
        const size_t i = static_cast<size_t>(std::upper_bound(starts.begin(), starts.end(), row) -
                                             starts.begin()) - 1;
        const Rowset& p = (*parts)[i];
        const size_t local = row - starts[i];
        return p.cell ? p.cell(local, column) : p.rows[local][column];
    };
    return all;
}

}  // namespace engine::exec
