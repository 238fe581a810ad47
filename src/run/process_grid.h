// The process grid: the list that shows the user which database is being worked on and how each
// one ended, and where the update routines find the code of the company being updated.
//
// Row 0 is the fixed header "Procesos"; row 1 "Conectando con el Servidor"; row 2 "Actualizando
// Vardex" (hidden for a single-company run); rows 3 and following one per company, whose hidden
// code column holds the company code. The views render this model through ProcessGridObserver;
// because the run occupies the program's only thread, it asks for an immediate repaint after
// each status change (RepaintNow).
//
// Thread safety: none; a grid lives on its run context's one thread (see RunContext).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "run/observer_list.h"

namespace run {

enum class RowStatus { kNone, kInProgress, kDone, kFailed };

struct GridRow {
    std::string text;  // column 1
    std::string code;  // column 2, hidden: the company code of a company row
    RowStatus status = RowStatus::kNone;
    bool hidden = false;
};

class ProcessGrid;

class ProcessGridObserver {
  public:
    virtual ~ProcessGridObserver() = default;
    // The rows were replaced as a whole (the grid was prepared).
    virtual void OnGridReset(const ProcessGrid&) {}
    virtual void OnRowAdded(const ProcessGrid&, int /*row*/) {}
    virtual void OnRowChanged(const ProcessGrid&, int /*row*/) {}
    // `row` is -1 when no row is current.
    virtual void OnCurrentRowChanged(const ProcessGrid&, int /*row*/) {}
    virtual void OnRepaintRequested(const ProcessGrid&) {}
};

class ProcessGrid {
  public:
    static constexpr int kHeaderRow = 0;
    static constexpr int kConnectionRow = 1;
    static constexpr int kCentralRow = 2;
    static constexpr int kFirstCompanyRow = 3;
    static constexpr int kNoRow = -1;

    // A grid holding only the header row.
    ProcessGrid();

    // Sets rows 1 and 2 (and drops any company rows); row 2 is hidden when the selector is
    // neither empty nor "VARDEX". No row is current afterwards.
    void Prepare(std::string_view empresaSolicitada);

    // Appends a company row and returns its index.
    int AddCompanyRow(std::string text, std::string code);

    // Both return false, and change nothing, for a row that does not exist.
    bool SetStatus(int row, RowStatus status);
    // Makes `row` current and brings it into view; kNoRow clears the current row.
    bool SetCurrentRow(int row);

    // Asks the views to repaint at once.
    void RepaintNow();

    int RowCount() const { return static_cast<int>(rows_.size()); }
    const GridRow& Row(int row) const { return rows_.at(row); }
    int CurrentRow() const { return current_; }
    // Column 2 of the current row; empty when no row is current (the central phase).
    std::string CurrentCompanyCode() const;

    void AddObserver(ProcessGridObserver* observer) { observers_.Add(observer); }
    void RemoveObserver(ProcessGridObserver* observer) { observers_.Remove(observer); }

  private:
    bool Exists(int row) const { return row >= 0 && row < RowCount(); }

    std::vector<GridRow> rows_;
    int current_ = kNoRow;
    ObserverList<ProcessGridObserver> observers_;
};

}  // namespace run
