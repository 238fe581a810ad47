#include "run/process_grid.h"

#include <utility>

namespace run {

ProcessGrid::ProcessGrid() : rows_{GridRow{"Procesos", "", RowStatus::kNone, false}} {}

void ProcessGrid::Prepare(std::string_view empresaSolicitada) {
    bool single_company = !empresaSolicitada.empty() && empresaSolicitada != "VARDEX";
    rows_.resize(1);
    rows_.push_back(GridRow{"Conectando con el Servidor", "", RowStatus::kNone, false});
    rows_.push_back(GridRow{"Actualizando Vardex", "", RowStatus::kNone, single_company});
    current_ = kNoRow;
    observers_.ForEach([this](ProcessGridObserver& o) { o.OnGridReset(*this); });
}

int ProcessGrid::AddCompanyRow(std::string text, std::string code) {
    rows_.push_back(GridRow{std::move(text), std::move(code), RowStatus::kNone, false});
    int row = RowCount() - 1;
    observers_.ForEach([this, row](ProcessGridObserver& o) { o.OnRowAdded(*this, row); });
    return row;
}

bool ProcessGrid::SetStatus(int row, RowStatus status) {
    if (!Exists(row)) return false;
    rows_[row].status = status;
    observers_.ForEach([this, row](ProcessGridObserver& o) { o.OnRowChanged(*this, row); });
    return true;
}

bool ProcessGrid::SetCurrentRow(int row) {
    if (row != kNoRow && !Exists(row)) return false;
    current_ = row;
    observers_.ForEach([this, row](ProcessGridObserver& o) { o.OnCurrentRowChanged(*this, row); });
    return true;
}

void ProcessGrid::RepaintNow() {
    observers_.ForEach([this](ProcessGridObserver& o) { o.OnRepaintRequested(*this); });
}

std::string ProcessGrid::CurrentCompanyCode() const {
    return Exists(current_) ? rows_[current_].code : std::string();
}

}  // namespace run
