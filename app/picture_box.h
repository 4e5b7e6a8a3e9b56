// A picture box: a thin border around a button-face client area that shows a picture set from
// bytes, fitted (never enlarged, centred). Animated GIFs play. It can take dropped files.
#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QMovie>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>

#include "http/text.h"

namespace quill {

// Decodes a still picture by the kind its first bytes name; a null image when the bytes are
// no picture this box shows. GIFs decode to their first frame.
QImage DecodeStillPicture(const Bytes& bytes);

class PictureBoxWidget : public QWidget {
    Q_OBJECT
  public:
    explicit PictureBoxWidget(QWidget* parent = nullptr);
    ~PictureBoxWidget() override;

    // Drops the current picture, then shows what the bytes decode to; no bytes, or bytes that
    // do not decode, leave the box empty.
    void SetPictureBytes(const Bytes& bytes);
    bool HasPicture() const;
    bool IsAnimated() const;
    // The frame shown now; null when empty.
    QImage CurrentFrame() const;

    void SetFrameColor(const QColor& color);
    QColor FrameColor() const { return frameColor_; }

    using DropHandler = std::function<void(const QStringList& paths)>;
    // Makes the box a drop target for files. False when it already is one.
    bool AttachDropTarget(DropHandler handler);
    bool HasDropTarget() const { return static_cast<bool>(dropHandler_); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void Clear();
    QRect ClientRect() const;

    QColor frameColor_;
    QImage still_;
    // Declared in this order so the movie goes before the device and bytes it reads.
    QByteArray movieBytes_;
    std::unique_ptr<QBuffer> movieDevice_;
    std::unique_ptr<QMovie> movie_;
    // The last scaled frame, kept while frame and size stay the same.
    QImage scaled_;
    qint64 scaledFrom_ = 0;
    DropHandler dropHandler_;
};

}  // namespace quill
