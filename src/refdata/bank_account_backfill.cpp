#include "refdata/bank_account_backfill.h"

#include <optional>
#include <string>

#include "refdata/digito_iban.h"
#include "refdata/formato_ceros.h"

namespace refdata {
namespace {

bool IsEmpty(const db::Variant& value) {
    return value.isNull() || value.toText().empty();
}

// The 20-digit domestic account: entity, branch, control digits and account number padded to
// 4, 4, 2 and 10 digits and joined in that order.
std::string DomesticAccount(const db::Variant& entity, const db::Variant& branch,
                            const db::Variant& control, const db::Variant& account) {
    return FormatoCeros(entity, 4) + FormatoCeros(branch, 4) + FormatoCeros(control, 2) +
           FormatoCeros(account, 10);
}

void FillAccount(db::Recordset& set, const run::ColeccionBIC& bics,
                 const BankAccountColumns& columns) {
    const db::Variant entity = set.value(columns.entity);
    const db::Variant branch = set.value(columns.branch);
    const db::Variant control = set.value(columns.control);
    const db::Variant account = set.value(columns.account);

    bool computeIban = columns.ibanRule == IbanRule::kEveryRow;
    if (!computeIban) {
        computeIban = IsEmpty(set.value(columns.iban)) && !IsEmpty(entity) && !IsEmpty(branch) &&
                      !IsEmpty(control) && !IsEmpty(account);
    }
    if (computeIban) {
        const std::string iban = digitoIBAN(DomesticAccount(entity, branch, control, account));
        if (!iban.empty()) set.setValue(columns.iban, db::Variant::text(iban));
    }

    bool fillBic = columns.bicRule == BicRule::kEveryRow;
    if (!fillBic) fillBic = IsEmpty(set.value(columns.bic)) && !IsEmpty(entity);
    if (fillBic) {
        const std::string key =
            columns.bicKey == BicKey::kEntityFourDigits ? FormatoCeros(entity, 4) : entity.toText();
        if (const std::optional<std::string> bic = bics.Find(key)) {
            set.setValue(columns.bic, db::Variant::text(*bic));
        }
    }
}

}  // namespace

BackfillOutcome RellenarCuentasBancarias(db::Connection& conexion, const run::ColeccionBIC& bics,
                                         const BankAccountBackfill& instance,
                                         std::string_view table) {
    BackfillOutcome outcome;
    std::string select(instance.selectBefore);
    select.append(table);
    select.append(instance.selectAfter);

    conexion.clearError();
    std::unique_ptr<db::Recordset> set =
        conexion.openRecordset(select, instance.cursor, db::LockType::Optimistic);
    if (set == nullptr || conexion.hasError()) return outcome;
    outcome.opened = true;

    // Nothing but the counts reads a save's outcome, so the driver may send the rows in
    // batches; each row still gets its own outcome, and a refused one is cancelled.
    set->deferUpdates([&outcome](const db::Status& guardado) {
        if (guardado) {
            ++outcome.saved;
        } else {
            ++outcome.cancelled;
        }
    });
    while (!set->eof()) {
        ++outcome.rows;
        for (const BankAccountColumns& columns : instance.accounts)
            FillAccount(*set, bics, columns);
        conexion.clearError();
        if (!set->update()) set->cancelUpdate();
        if (!set->moveNext()) break;
    }
    set->close();
    return outcome;
}

}  // namespace refdata
