#include "app/window_pictures.h"

#include <QFont>
#include <QPainter>
#include <QStringList>

namespace quill {
namespace {

const QColor kBackground(52, 52, 52);
const QColor kLightArea(238, 239, 244);
const QColor kPanel(68, 68, 68);
const QColor kButtonFill(14, 13, 14);
const QColor kFootnote(170, 170, 170);

// The CJK faces the set-up installs come first, so the captions look the same everywhere.
QFont CaptionFont(int pixelSize) {
    QFont font;
    font.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("Droid Sans Fallback"), QStringLiteral("Sans Serif")});
    font.setPixelSize(pixelSize);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

// A dark button of 100 x 38 with its one-pixel frame and a white caption.
void PaintButton(QPainter& painter, const QRect& area, const QColor& frame,
                 const QString& caption) {
    painter.fillRect(area, kButtonFill);
    painter.setPen(frame);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(area.adjusted(0, 0, -1, -1));
    painter.setPen(Qt::white);
    painter.setFont(CaptionFont(15));
    painter.drawText(area, Qt::AlignCenter, caption);
}

void PaintButtonRow(QPainter& painter, int top) {
    const QColor frame(102, 102, 102);
    PaintButton(painter, QRect(28, top, 100, 38), frame, QStringLiteral("URL上传"));
    PaintButton(painter, QRect(184, top, 100, 38), frame, QStringLiteral("本地上传"));
    painter.setPen(QColor(200, 200, 200));
    painter.setFont(CaptionFont(14));
    painter.drawText(QRect(128, top, 56, 38), Qt::AlignCenter, QStringLiteral("或"));
}

}  // namespace

QImage PaintBackgroundPicture() {
    QImage image(835, 519, QImage::Format_RGB32);
    image.fill(kBackground);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);

    painter.fillRect(QRect(28, 28, 256, 160), kLightArea);
    painter.fillRect(QRect(28, 265, 256, 160), kLightArea);
    PaintButtonRow(painter, 203);
    PaintButtonRow(painter, 440);

    painter.fillRect(QRect(314, 28, 494, 450), kPanel);
    painter.fillRect(QRect(314, 98, 494, 310), kLightArea);

    painter.setPen(kFootnote);
    painter.setFont(CaptionFont(12));
    painter.drawText(QRect(28, 497, 780, 20), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("图片文件支持PNG、JPG、JPEG、BMP，图片大小不超过2M。"));
    return image;
}

QImage PaintMergeButtonPicture() {
    QImage image(100, 38, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    PaintButton(painter, QRect(0, 0, 100, 38), QColor(102, 103, 102), QStringLiteral("融合图片"));
    return image;
}

}  // namespace quill
