// The bank-account backfill: when a release adds IBAN and BIC columns beside the old Spanish
// account columns (entity, branch, control digits, account number), the rows are walked once
// and the new columns filled: the IBAN column with "ES" + check digits (digitoIBAN), the BIC
// column with the entity's BIC from the run's BIC catalogue.
//
// One routine serves every table that does this. Each caller declares its instance as data:
// the SELECT text (for a per-year family, the text around the table name), the cursor kind, and
// for each account of the row its columns and its rules for when to compute the IBAN, when to
// fill the BIC and how the entity is looked up. The caller decides whether the backfill runs at
// all (usually: both columns were created by this run). Nothing is logged; a set that cannot be
// opened skips the backfill, and a row that cannot be saved is cancelled and the walk goes on.
//
// Thread safety: none; runs on the run's thread with the connection it is given.
#pragma once

#include <span>
#include <string_view>

#include "db/connection.h"
#include "run/coleccion_bic.h"

namespace refdata {

// When the IBAN check digits of an account are computed for a row.
enum class IbanRule {
    // For every row the SELECT returns.
    kEveryRow,
    // When the IBAN column is NULL or empty and the four account parts are all non-NULL and
    // non-empty.
    kWhenEmptyAndAccountComplete,
};

// When the BIC of an account is looked up for a row (a missing entry never changes the column).
enum class BicRule {
    kEveryRow,
    // When the BIC column is NULL or empty and the entity is neither NULL nor empty.
    kWhenEmptyAndEntityPresent,
};

// The key under which the entity's BIC is looked up.
enum class BicKey {
    kEntityFourDigits,  // the entity formatted "0000": 49 is looked up as "0049"
    kEntityAsStored,    // the entity's text as it is in the row
};

// One account of a row: its four parts, the columns it fills and its rules.
struct BankAccountColumns {
    std::string_view entity;
    std::string_view branch;
    std::string_view control;
    std::string_view account;
    std::string_view iban;
    std::string_view bic;
    IbanRule ibanRule = IbanRule::kEveryRow;
    BicRule bicRule = BicRule::kEveryRow;
    BicKey bicKey = BicKey::kEntityFourDigits;
};

// One instance of the backfill. The statement text is selectBefore + table + selectAfter, the
// table being the one the caller names (empty for a fixed table, whose whole text is then in
// selectBefore).
struct BankAccountBackfill {
    std::string_view selectBefore;
    std::string_view selectAfter;
    db::CursorType cursor = db::CursorType::Dynamic;
    std::span<const BankAccountColumns> accounts;
};

// What a backfill did; nothing of it is logged, the numbers serve the callers' tests.
struct BackfillOutcome {
    bool opened = false;  // false: the set could not be opened and nothing was done
    int rows = 0;         // rows walked
    int saved = 0;        // rows saved
    int cancelled = 0;    // rows whose save failed and whose changes were cancelled
};

// Walks the rows of `instance` on `conexion` (of `table` for a family instance) and fills the
// IBAN and BIC columns as described above, with the BICs of `bics`.
BackfillOutcome RellenarCuentasBancarias(db::Connection& conexion, const run::ColeccionBIC& bics,
                                         const BankAccountBackfill& instance,
                                         std::string_view table = {});

}  // namespace refdata
