// libFuzzer target: the base-data reader and the ActFiltro evaluator. The input's first line is
// a condition as the control table's ActFiltro writes it, the rest a base-data file. A file is
// opened or refused without a fault; when opened, every table is read whole and filtered by
// the condition, and the filtered rows are never more than the whole.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/jet/jet_condition.h"
#include "db/jet/jet_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t end = input.find('\n');
    const std::string_view condition = input.substr(0, std::min(end, input.size()));
    const std::string_view file = end == std::string_view::npos ? std::string_view{} : input.substr(end + 1);

    // The evaluator on its own, over a row of each kind the control tables filter.
    static const std::vector<db::FieldInfo> columns = {
        {"CONTINENTE", db::FieldType::WVarChar}, {"PREFIJO", db::FieldType::Integer},
        {"UE", db::FieldType::Boolean}, {"CUOTA", db::FieldType::Currency}};
    static const std::vector<std::vector<db::Variant>> filas = {
        {db::Variant::text("EUROPA"), db::Variant::integer(34), db::Variant::boolean(true),
         db::Variant::currency(125000)},
        {db::Variant::null(), db::Variant::null(), db::Variant::null(), db::Variant::null()},
        {db::Variant::text("Ásia 12"), db::Variant::integer(-1), db::Variant::boolean(false),
         db::Variant::currency(-1)}};
    std::unique_ptr<db::jet::Condition> parsed;
    if (db::jet::Condition::parse(condition, columns, parsed)) {
        for (const auto& fila : filas) {
            bool result = false;
            parsed->matches(fila, result);
        }
    }

    static const std::string path =
        (std::string(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp")) + "/base-data-fuzz-" + std::to_string(getpid()) + ".mdb";
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(file.data(), static_cast<std::streamsize>(file.size()));

    std::unique_ptr<db::jet::JetFile> jet;
    if (!db::jet::JetFile::open(path, jet)) return 0;
    for (const std::string& table : jet->tableNames()) {
        db::RowSet all, some;
        if (!jet->readTable(table, "", all)) continue;
        if (jet->readTable(table, condition, some) && some.rows.size() > all.rows.size()) __builtin_trap();
    }
    return 0;
}
