// The program's one window, Form1: caption, title label, status label, progress bar, the process
// grid with its status pictures, and the closing timer. It has no commands: it renders the run
// context's grid and progress models and hands every close request to the close guard.
//
// The user's close (the window's close button or system menu) arrives as a spontaneous close
// event; the closing timer and the program close it with non-spontaneous ones.
//
// Thread safety: GUI thread only.
#pragma once

#include <QLabel>
#include <QProgressBar>
#include <QTableWidget>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "app/close_guard.h"
#include "app/window/merged_header.h"
#include "run/process_grid.h"
#include "run/progress.h"
#include "run/run_context.h"

namespace app {

inline constexpr char kCaptionForm1[] = "Actualizando catálogos de bases de datos...";
inline constexpr char kTextoLabel1[] = "Actualización de catálogos de bases de datos";
inline constexpr char kTextoLabel2[] = "Proceso de Actualización";
inline constexpr int kIntervaloTimer1Ms = 100;

// Grid columns.
inline constexpr int kPictureColumn = 0;
inline constexpr int kTextColumn = 1;
inline constexpr int kCodeColumn = 2;

class Form1 : public QWidget, public run::ProcessGridObserver, public run::ProgressObserver {
  public:
    // Decides a close request; the argument tells whether the user asked for it.
    using CloseHandler = std::function<CloseDecision(bool requested_by_user)>;

    Form1(run::RunContext& context, CloseHandler on_close, QWidget* parent = nullptr);
    ~Form1() override;

    // Called once, just after the window has been shown for the first time.
    void SetOnFirstShown(std::function<void()> on_first_shown);

    // Starts Timer1; on its tick it stops and closes the window.
    void StartClosingTimer();

    QLabel* label1() const { return label1_; }
    QLabel* label2() const { return label2_; }
    QProgressBar* progressBar1() const { return progress_bar1_; }
    QTableWidget* vsFlexGrid1() const { return grid_; }
    MergedHeader* gridHeader() const { return header_; }
    QTimer* timer1() { return &timer1_; }

    // Table row of a grid-model row (the model's header row is the table's header).
    static int TableRow(int grid_row) { return grid_row - 1; }

    void OnGridReset(const run::ProcessGrid& grid) override;
    void OnRowAdded(const run::ProcessGrid& grid, int row) override;
    void OnRowChanged(const run::ProcessGrid& grid, int row) override;
    void OnCurrentRowChanged(const run::ProcessGrid& grid, int row) override;
    void OnRepaintRequested(const run::ProcessGrid& grid) override;
    void OnProgressChanged(const run::ProgressModel& progress) override;

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void RenderRow(const run::ProcessGrid& grid, int row);

    run::RunContext& context_;
    CloseHandler on_close_;
    std::function<void()> on_first_shown_;
    bool shown_once_ = false;
    QLabel* label1_;
    QLabel* label2_;
    QProgressBar* progress_bar1_;
    QTableWidget* grid_;
    MergedHeader* header_;
    QTimer timer1_;
};

}  // namespace app
