#include "app/window_controls.h"

#include <QMouseEvent>
#include <QPainter>

namespace quill {

PressArea::PressArea(QWidget* parent) : QWidget(parent) {}

void PressArea::SetTile(const QPixmap& tile) {
    tile_ = tile;
    update();
}

void PressArea::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && handler_) {
        event->accept();
        handler_();
        return;
    }
    QWidget::mousePressEvent(event);
}

void PressArea::paintEvent(QPaintEvent*) {
    if (tile_.isNull()) {
        return;
    }
    QPainter painter(this);
    painter.drawTiledPixmap(rect(), tile_);
}

}  // namespace quill
