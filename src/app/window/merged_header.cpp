#include "app/window/merged_header.h"

#include <QPainter>
#include <QStyleOptionHeader>

namespace app {

MergedHeader::MergedHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

void MergedHeader::setCaption(const QString& caption) {
    caption_ = caption;
    viewport()->update();
}

void MergedHeader::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    int left = -1, right = -1;
    for (int section = 0; section < count(); ++section) {
        if (isSectionHidden(section)) continue;
        int start = sectionViewportPosition(section);
        if (left < 0) left = start;
        right = start + sectionSize(section);
    }
    if (left < 0) return;
    QStyleOptionHeader option;
    initStyleOption(&option);
    option.rect = QRect(left, 0, right - left, viewport()->height());
    option.section = 0;
    option.position = QStyleOptionHeader::OnlyOneSection;
    option.text = caption_;
    option.textAlignment = Qt::AlignCenter;
    style()->drawControl(QStyle::CE_Header, &option, &painter, this);
}

}  // namespace app
