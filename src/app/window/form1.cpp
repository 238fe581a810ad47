#include "app/window/form1.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QIcon>
#include <QShowEvent>
#include <QVBoxLayout>
#include <utility>

#include "app/window/status_pictures.h"
#include "app/window/tahoma.h"

namespace app {

Form1::Form1(run::RunContext& context, CloseHandler on_close, QWidget* parent)
    : QWidget(parent),
      context_(context),
      on_close_(std::move(on_close)),
      label1_(new QLabel(QString::fromUtf8(kTextoLabel1), this)),
      label2_(new QLabel(QString::fromUtf8(kTextoLabel2), this)),
      progress_bar1_(new QProgressBar(this)),
      grid_(new QTableWidget(0, 3, this)),
      header_(new MergedHeader(grid_)) {
    setWindowTitle(QString::fromUtf8(kCaptionForm1));
    setWindowIcon(QIcon(ProgramIcon()));
    resize(520, 380);

    label1_->setFont(TitleFont());
    label1_->setAlignment(Qt::AlignCenter);
    label2_->setVisible(context_.progress.StatusLabelVisible());
    progress_bar1_->setTextVisible(false);

    grid_->setFont(GridFont());
    grid_->setHorizontalHeader(header_);
    header_->setFont(GridFont());
    header_->setSectionResizeMode(kPictureColumn, QHeaderView::Fixed);
    header_->setSectionResizeMode(kTextColumn, QHeaderView::Stretch);
    header_->resizeSection(kPictureColumn, 24);
    grid_->setColumnHidden(kCodeColumn, true);
    grid_->verticalHeader()->setVisible(false);
    grid_->verticalHeader()->setDefaultSectionSize(20);
    grid_->setIconSize(QSize(kStatusPictureSize, kStatusPictureSize));
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setFocusPolicy(Qt::NoFocus);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label1_);
    layout->addWidget(label2_);
    layout->addWidget(progress_bar1_);
    layout->addWidget(grid_, 1);

    timer1_.setSingleShot(true);
    timer1_.setInterval(kIntervaloTimer1Ms);
    QObject::connect(&timer1_, &QTimer::timeout, this, [this] {
        timer1_.stop();
        close();
    });

    OnGridReset(context_.grid);
    OnProgressChanged(context_.progress);
    context_.grid.AddObserver(this);
    context_.progress.AddObserver(this);
}

Form1::~Form1() {
    context_.grid.RemoveObserver(this);
    context_.progress.RemoveObserver(this);
}

void Form1::SetOnFirstShown(std::function<void()> on_first_shown) {
    on_first_shown_ = std::move(on_first_shown);
}

void Form1::StartClosingTimer() {
    timer1_.start();
}

void Form1::OnGridReset(const run::ProcessGrid& grid) {
    header_->setCaption(QString::fromStdString(grid.Row(run::ProcessGrid::kHeaderRow).text));
    grid_->setRowCount(grid.RowCount() - 1);
    for (int row = run::ProcessGrid::kHeaderRow + 1; row < grid.RowCount(); ++row)
        RenderRow(grid, row);
    OnCurrentRowChanged(grid, grid.CurrentRow());
}

void Form1::OnRowAdded(const run::ProcessGrid& grid, int row) {
    grid_->setRowCount(grid.RowCount() - 1);
    RenderRow(grid, row);
}

void Form1::OnRowChanged(const run::ProcessGrid& grid, int row) {
    RenderRow(grid, row);
}

void Form1::RenderRow(const run::ProcessGrid& grid, int row) {
    const run::GridRow& line = grid.Row(row);
    int table_row = TableRow(row);
    auto* picture = new QTableWidgetItem();
    QPixmap pixmap = StatusPicture(line.status);
    if (!pixmap.isNull()) picture->setData(Qt::DecorationRole, pixmap);
    grid_->setItem(table_row, kPictureColumn, picture);
    grid_->setItem(table_row, kTextColumn, new QTableWidgetItem(QString::fromStdString(line.text)));
    grid_->setItem(table_row, kCodeColumn, new QTableWidgetItem(QString::fromStdString(line.code)));
    grid_->setRowHidden(table_row, line.hidden);
}

void Form1::OnCurrentRowChanged(const run::ProcessGrid&, int row) {
    if (row <= run::ProcessGrid::kHeaderRow) {
        grid_->setCurrentItem(nullptr);
        grid_->clearSelection();
        return;
    }
    grid_->setCurrentCell(TableRow(row), kTextColumn);
    grid_->scrollToItem(grid_->item(TableRow(row), kTextColumn));
}

void Form1::OnRepaintRequested(const run::ProcessGrid&) {
    grid_->viewport()->repaint();
}

void Form1::OnProgressChanged(const run::ProgressModel& progress) {
    progress_bar1_->setMaximum(progress.Maximum());
    progress_bar1_->setValue(progress.Value());
    progress_bar1_->setVisible(progress.Visible());
    label2_->setVisible(progress.StatusLabelVisible());
}

void Form1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shown_once_) return;
    shown_once_ = true;
    // Started from the event loop, so that the window is on screen before the run begins.
    if (on_first_shown_) QTimer::singleShot(0, this, [this] { on_first_shown_(); });
}

void Form1::closeEvent(QCloseEvent* event) {
    CloseDecision decision = on_close_ ? on_close_(event->spontaneous()) : CloseDecision::kAllow;
    if (decision == CloseDecision::kRefuse)
        event->ignore();
    else
        event->accept();
}

}  // namespace app
