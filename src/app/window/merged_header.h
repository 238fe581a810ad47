// The grid's header: one caption drawn as a single cell, centred, across the picture and text
// columns (the hidden code column takes no room).
//
// Thread safety: GUI thread only.
#pragma once

#include <QHeaderView>
#include <QString>

namespace app {

class MergedHeader : public QHeaderView {
  public:
    explicit MergedHeader(QWidget* parent = nullptr);

    void setCaption(const QString& caption);
    const QString& caption() const { return caption_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString caption_;
};

}  // namespace app
