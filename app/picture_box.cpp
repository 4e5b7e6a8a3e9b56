#include "app/picture_box.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QImageReader>
#include <QMimeData>
#include <QPaintEvent>
#include <QPainter>
#include <QUrl>
#include <cstring>

#include "app/picture_decode.h"

namespace quill {
namespace {

QImage FromRgba(const RgbaPicture& picture) {
    if (picture.Empty()) {
        return {};
    }
    QImage image(picture.width, picture.height, QImage::Format_RGBA8888);
    if (image.isNull()) {
        return {};
    }
    const std::size_t rowBytes = static_cast<std::size_t>(picture.width) * 4;
    for (int y = 0; y < picture.height; ++y) {
        std::memcpy(image.scanLine(y), picture.rgba.data() + rowBytes * y, rowBytes);
    }
    return image;
}

QImage ReadWithQt(const Bytes& bytes, const char* format) {
    QByteArray data(reinterpret_cast<const char*>(bytes.data()),
                    static_cast<qsizetype>(bytes.size()));
    QBuffer device(&data);
    device.open(QIODevice::ReadOnly);
    QImageReader reader(&device, format);
    reader.setDecideFormatFromContent(false);
    QImage image = reader.read();
    if (!image.isNull() &&
        static_cast<std::uint64_t>(image.width()) * image.height() > kMaxPicturePixels) {
        return {};
    }
    return image;
}

bool HasLocalFile(const QMimeData* mime) {
    if (mime == nullptr || !mime->hasUrls()) {
        return false;
    }
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile()) {
            return true;
        }
    }
    return false;
}

}  // namespace

QImage DecodeStillPicture(const Bytes& bytes) {
    switch (DetectPictureKind(bytes.data(), bytes.size())) {
        case PictureKind::Png:
            return FromRgba(DecodePng(bytes.data(), bytes.size()));
        case PictureKind::Pcx:
            return FromRgba(DecodePcx(bytes.data(), bytes.size()));
        case PictureKind::Jpeg:
            return ReadWithQt(bytes, "jpeg");
        case PictureKind::Bmp:
            return ReadWithQt(bytes, "bmp");
        case PictureKind::Icon:
            return ReadWithQt(bytes, "ico");
        case PictureKind::Cursor:
            return ReadWithQt(bytes, "cur");
        case PictureKind::Gif:
            return ReadWithQt(bytes, "gif");
        case PictureKind::None:
            break;
    }
    return {};
}

PictureBoxWidget::PictureBoxWidget(QWidget* parent)
    : QWidget(parent), frameColor_(palette().color(QPalette::Dark)) {}

PictureBoxWidget::~PictureBoxWidget() = default;

void PictureBoxWidget::Clear() {
    if (movie_) {
        movie_->stop();
    }
    movie_.reset();
    movieDevice_.reset();
    movieBytes_.clear();
    still_ = QImage();
    scaled_ = QImage();
    scaledFrom_ = 0;
}

void PictureBoxWidget::SetPictureBytes(const Bytes& bytes) {
    Clear();
    if (DetectPictureKind(bytes.data(), bytes.size()) == PictureKind::Gif) {
        movieBytes_ = QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                 static_cast<qsizetype>(bytes.size()));
        movieDevice_ = std::make_unique<QBuffer>(&movieBytes_);
        movieDevice_->open(QIODevice::ReadOnly);
        movie_ = std::make_unique<QMovie>(movieDevice_.get(), QByteArray("gif"));
        const bool firstFrame =
            movie_->isValid() && movie_->jumpToFrame(0) && !movie_->currentImage().isNull();
        if (firstFrame && movie_->frameCount() > 1) {
            connect(movie_.get(), &QMovie::frameChanged, this, [this] { update(); });
            movie_->start();
        } else {
            if (firstFrame) {
                still_ = movie_->currentImage();
            }
            movie_.reset();
            movieDevice_.reset();
            movieBytes_.clear();
        }
    } else {
        still_ = DecodeStillPicture(bytes);
    }
    update();
}

bool PictureBoxWidget::HasPicture() const {
    return !CurrentFrame().isNull();
}

bool PictureBoxWidget::IsAnimated() const {
    return movie_ != nullptr;
}

QImage PictureBoxWidget::CurrentFrame() const {
    return movie_ ? movie_->currentImage() : still_;
}

void PictureBoxWidget::SetFrameColor(const QColor& color) {
    frameColor_ = color;
    update();
}

bool PictureBoxWidget::AttachDropTarget(DropHandler handler) {
    if (dropHandler_ || !handler) {
        return false;
    }
    dropHandler_ = std::move(handler);
    setAcceptDrops(true);
    return true;
}

QRect PictureBoxWidget::ClientRect() const {
    return rect().adjusted(1, 1, -1, -1);
}

void PictureBoxWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect client = ClientRect();
    painter.fillRect(client, palette().color(QPalette::Button));
    const QImage frame = CurrentFrame();
    if (!frame.isNull() && client.isValid()) {
        const FitRect fit =
            FitPicture(client.width(), client.height(), frame.width(), frame.height());
        if (fit.width > 0 && fit.height > 0) {
            const QSize size(fit.width, fit.height);
            if (scaledFrom_ != frame.cacheKey() || scaled_.size() != size) {
                scaled_ = frame.size() == size
                              ? frame
                              : frame.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
                scaledFrom_ = frame.cacheKey();
            }
            painter.drawImage(client.x() + fit.x, client.y() + fit.y, scaled_);
        }
    }
    painter.setPen(frameColor_);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void PictureBoxWidget::dragEnterEvent(QDragEnterEvent* event) {
    if (dropHandler_ && HasLocalFile(event->mimeData())) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void PictureBoxWidget::dragMoveEvent(QDragMoveEvent* event) {
    if (dropHandler_ && HasLocalFile(event->mimeData())) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void PictureBoxWidget::dropEvent(QDropEvent* event) {
    if (!dropHandler_ || !HasLocalFile(event->mimeData())) {
        event->ignore();
        return;
    }
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            paths.append(url.toLocalFile());
        }
    }
    event->acceptProposedAction();
    // Handled once the drop has finished, so the program the files came from is not held up
    // while the handler checks them (and perhaps waits in a modal box).
    QMetaObject::invokeMethod(
        this, [this, paths] { dropHandler_(paths); }, Qt::QueuedConnection);
}

}  // namespace quill
