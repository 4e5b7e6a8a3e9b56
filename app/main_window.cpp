#include "app/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMetaObject>
#include <QPixmap>
#include <QScreen>
#include <QShowEvent>
#include <QThread>
#include <QTimer>

#include "app/busy_runner.h"
#include "app/file_read.h"
#include "app/gbk_qstring.h"
#include "app/message_box.h"
#include "app/picture_box.h"
#include "app/window_controls.h"
#include "app/window_pictures.h"
#include "http/file_fetch.h"
#include "http/gbk_codec.h"

namespace quill {
namespace {

constexpr QSize kClientSize(825, 513);
constexpr QSize kOuterSize(841, 552);

QString Utf8(const char* text) {
    return QString::fromUtf8(text);
}

QLabel* CaptionLabel(QWidget* parent, const char* name, const QString& caption, const QRect& area) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(Utf8(name));
    label->setGeometry(area);
    label->setAlignment(Qt::AlignCenter);
    // A file dropped on a caption lying over a picture box is meant for the box.
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    label->setAutoFillBackground(true);
    QPalette colours = label->palette();
    colours.setColor(QPalette::Window, QColor(109, 109, 109));
    colours.setColor(QPalette::WindowText, QColor(255, 255, 255));
    label->setPalette(colours);
    return label;
}

PictureBoxWidget* SlotBox(QWidget* parent, const char* name, const QRect& area) {
    auto* box = new PictureBoxWidget(parent);
    box->setObjectName(Utf8(name));
    box->setGeometry(area);
    return box;
}

PressArea* ClickArea(QWidget* parent, const char* name, const QRect& area,
                     std::function<void()> handler) {
    auto* press = new PressArea(parent);
    press->setObjectName(Utf8(name));
    press->setGeometry(area);
    press->SetPressHandler(std::move(handler));
    return press;
}

// Stacks siblings so that the first in the list is on top.
void StackTopFirst(std::initializer_list<QWidget*> topFirst) {
    for (auto it = std::rbegin(topFirst); it != std::rend(topFirst); ++it) {
        (*it)->raise();
    }
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QWidget(parent), busy_(new BusyRunner(this)) {
    busy_->setParent(this);
    setWindowTitle(Utf8(kWindowCaption));
    // A title bar with the system menu and minimise, but no maximise; the frame stays resizable.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    resize(kClientSize);
    BuildControls();
    Created();
}

MainWindow::~MainWindow() = default;

void MainWindow::BuildControls() {
    auto* background = new QLabel(this);
    background->setObjectName(Utf8("图片框1"));
    background->setGeometry(0, 0, 864, 624);
    background->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    background->setAutoFillBackground(true);
    QPalette backgroundColours = background->palette();
    backgroundColours.setColor(QPalette::Window, backgroundColours.color(QPalette::Button));
    background->setPalette(backgroundColours);
    background->setPixmap(QPixmap::fromImage(PaintBackgroundPicture()));

    mergedBox_ = SlotBox(background, "图片框_合成图", QRect(314, 98, 494, 310));
    QLabel* mergedCaption =
        CaptionLabel(background, "标签3", Utf8("合成图"), QRect(315, 28, 68, 40));
    QLabel* targetCaption =
        CaptionLabel(background, "标签2", Utf8("目标图"), QRect(28, 265, 68, 40));
    QLabel* templateCaption =
        CaptionLabel(background, "标签1", Utf8("模板图"), QRect(28, 28, 68, 40));
    templateBox_ = SlotBox(background, "图片框_模板图", QRect(28, 28, 257, 164));
    targetBox_ = SlotBox(background, "图片框_目标图", QRect(28, 265, 257, 164));
    StackTopFirst(
        {mergedBox_, mergedCaption, targetCaption, templateCaption, templateBox_, targetBox_});

    // The notice belongs to the window, drawn over whatever the merged box shows.
    auto* notice = new QLabel(
        QString::fromUtf8(kNoticeText).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
        mergedBox_);
    notice->setObjectName(Utf8("透明标签1"));
    notice->setGeometry(109, 245, 304, 88);
    notice->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    notice->setWordWrap(true);
    notice->setAttribute(Qt::WA_TransparentForMouseEvents);
    QFont noticeFont = notice->font();
    noticeFont.setPixelSize(21);
    noticeFont.setWeight(QFont::Normal);
    notice->setFont(noticeFont);
    QPalette noticeColours = notice->palette();
    noticeColours.setColor(QPalette::WindowText, QColor(255, 0, 0));
    notice->setPalette(noticeColours);

    auto* merge = ClickArea(this, "标签_融合图片", QRect(520, 424, 101, 39), [this] {
        if (events_ != nullptr) {
            events_->MergePressed();
        }
    });
    merge->SetTile(QPixmap::fromImage(PaintMergeButtonPicture()));
    auto* urlTemplate = ClickArea(this, "透明标签_url_模板图", QRect(24, 200, 104, 40), [this] {
        if (events_ != nullptr) {
            events_->UrlTemplatePressed();
        }
    });
    auto* urlTarget = ClickArea(this, "透明标签_url_目标图", QRect(24, 440, 104, 40), [this] {
        if (events_ != nullptr) {
            events_->UrlTargetPressed();
        }
    });
    auto* localTarget =
        ClickArea(this, "透明标签_本地上传_目标图", QRect(184, 440, 104, 40), [this] {
            if (events_ != nullptr) {
                events_->LocalTargetPressed();
            }
        });
    auto* localTemplate =
        ClickArea(this, "透明标签_本地上传_模板图", QRect(184, 200, 104, 40), [this] {
            if (events_ != nullptr) {
                events_->LocalTemplatePressed();
            }
        });

    checkBox_ = new QCheckBox(Utf8(kCheckBoxCaption), this);
    checkBox_->setObjectName(Utf8("选择框_返回信息"));
    checkBox_->setGeometry(408, 32, 312, 32);
    checkBox_->setAutoFillBackground(true);
    checkBox_->setBackgroundRole(QPalette::Window);
    checkBox_->setFocusPolicy(Qt::StrongFocus);
    QPalette checkColours = checkBox_->palette();
    checkColours.setColor(QPalette::Window, QColor(68, 68, 68));
    checkColours.setColor(QPalette::WindowText, QColor(255, 0, 0));
    checkBox_->setPalette(checkColours);

    StackTopFirst(
        {checkBox_, localTemplate, localTarget, urlTarget, urlTemplate, merge, background});
}

void MainWindow::Created() {
    SetThemeScheme(3);
    templateBox_->AttachDropTarget(
        [this](const QStringList& paths) { FilesDropped(PictureBox::Template, paths); });
    targetBox_->AttachDropTarget(
        [this](const QStringList& paths) { FilesDropped(PictureBox::Target, paths); });
}

void MainWindow::SetThemeScheme(int scheme) {
    QColor frame = palette().color(QPalette::Dark);
    switch (scheme) {
        case 1:
            frame = QColor(123, 158, 189);
            break;
        case 2:
            frame = QColor(164, 185, 127);
            break;
        case 3:
            frame = QColor(198, 197, 215);
            break;
        default:
            break;
    }
    for (PictureBoxWidget* box : {templateBox_, targetBox_, mergedBox_}) {
        box->SetFrameColor(frame);
    }
}

PictureBoxWidget* MainWindow::Picture(PictureBox box) const {
    switch (box) {
        case PictureBox::Template:
            return templateBox_;
        case PictureBox::Target:
            return targetBox_;
        case PictureBox::Merged:
            return mergedBox_;
    }
    return nullptr;
}

void MainWindow::FilesDropped(PictureBox box, const QStringList& paths) {
    if (events_ == nullptr || paths.isEmpty()) {
        return;
    }
    std::string text;
    for (const QString& path : paths) {
        std::string gbk;
        if (!GbkFromQString(path, gbk)) {
            ShowPathError();
            return;
        }
        text += gbk;
        if (paths.size() > 1) {
            text += "\r\n";
        }
    }
    if (box == PictureBox::Template) {
        events_->FilesDroppedTemplate(text);
    } else {
        events_->FilesDroppedTarget(text);
    }
}

void MainWindow::ShowPathError() {
    MessageBox(GbkFromUtf8(kPathErrorText), kStyleError);
}

template <typename Call>
void MainWindow::OnWindowThread(Call&& call) {
    if (QThread::currentThread() == thread()) {
        call();
        return;
    }
    QMetaObject::invokeMethod(
        this, [&call] { call(); }, Qt::BlockingQueuedConnection);
}

void MainWindow::MessageBox(const std::string& text, int style) {
    OnWindowThread([&] {
        MessageDialog box(QStringFromGbk(text), style);
        if (busy_->Busy()) {
            QApplication::setOverrideCursor(Qt::ArrowCursor);
        }
        box.exec();
        if (busy_->Busy()) {
            QApplication::restoreOverrideCursor();
        }
    });
}

bool MainWindow::InputBox(const std::string& prompt, const std::string& initial,
                          std::string& text) {
    bool confirmed = false;
    OnWindowThread([&] {
        InputDialog box(QStringFromGbk(prompt), QStringFromGbk(initial));
        std::string gbk;
        box.SetValidator([&](const QString& entered) {
            if (GbkFromQString(entered, gbk)) {
                return true;
            }
            MessageBox(GbkFromUtf8(kInputErrorText), kStyleError);
            return false;
        });
        if (busy_->Busy()) {
            QApplication::setOverrideCursor(Qt::ArrowCursor);
        }
        confirmed = box.exec() == QDialog::Accepted;
        if (busy_->Busy()) {
            QApplication::restoreOverrideCursor();
        }
        if (confirmed) {
            text = gbk;
        }
    });
    return confirmed;
}

void MainWindow::SetFileDialogFilter(const std::string& filter) {
    OnWindowThread([&] { fileDialog_.SetFilter(QStringFromGbk(filter)); });
}

bool MainWindow::OpenFileDialog() {
    bool confirmed = false;
    OnWindowThread([&] {
        std::string gbk;
        confirmed = fileDialog_.Open(this, [&](const QString& path) {
            if (GbkFromQString(path, gbk)) {
                return true;
            }
            ShowPathError();
            return false;
        });
        if (confirmed) {
            fileName_ = gbk;
        }
    });
    return confirmed;
}

std::string MainWindow::FileDialogFileName() {
    std::string name;
    OnWindowThread([&] { name = fileName_; });
    return name;
}

void MainWindow::SetPicture(PictureBox box, const Bytes& bytes) {
    OnWindowThread([&] {
        if (PictureBoxWidget* widget = Picture(box)) {
            widget->SetPictureBytes(bytes);
        }
    });
}

int MainWindow::CheckBoxState() {
    int state = 0;
    OnWindowThread([&] { state = checkBox_->isChecked() ? 1 : 0; });
    return state;
}

Bytes MainWindow::ReadWholeFile(const std::string& path) {
    return ::quill::ReadWholeFile(path);
}

Bytes MainWindow::HttpFileRead(const std::string& url) {
    return ::quill::HttpFileRead(url);
}

void MainWindow::RunWhileBusy(const std::function<void()>& work) {
    busy_->Run(work);
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (placed_ || event->spontaneous()) {
        return;
    }
    placed_ = true;
    if (QScreen* screen = this->screen()) {
        const QRect available = screen->availableGeometry();
        QRect frame = frameGeometry();
        frame.moveCenter(available.center());
        move(frame.topLeft());
    }
    // A window manager reports its frame only once the window is up.
    QTimer::singleShot(0, this, [this] { FitOuterSize(); });
    QTimer::singleShot(300, this, [this] { FitOuterSize(); });
}

void MainWindow::FitOuterSize() {
    const QSize margins = frameGeometry().size() - geometry().size();
    if (margins.width() <= 0 && margins.height() <= 0) {
        return;
    }
    const QSize client = kOuterSize - margins;
    if (client == size() || client.width() <= 0 || client.height() <= 0 || margins.width() > 200 ||
        margins.height() > 200) {
        return;
    }
    resize(client);
    if (QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

}  // namespace quill
