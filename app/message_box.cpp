#include "app/message_box.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTextOption>
#include <QVBoxLayout>
#include <algorithm>

namespace quill {
namespace {

constexpr int kTextWidth = 420;
// Past this, measuring the wrapped text costs more than it tells: the box takes its full height.
constexpr qsizetype kMeasuredLength = 8000;

QRect AvailableScreen(const QWidget* widget) {
    QScreen* screen =
        widget->screen() != nullptr ? widget->screen() : QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 800, 600);
}

QString ForDisplay(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QChar('\r'), QChar('\n'));
    return text;
}

}  // namespace

MessageDialog::MessageDialog(const QString& text, int style, QWidget* parent)
    : QDialog(parent), style_(style) {
    setWindowTitle(kMessageCaption);
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("icon"));
    QStyle::StandardPixmap standard = QStyle::SP_CustomBase;
    if (style == 16) {
        standard = QStyle::SP_MessageBoxCritical;
    } else if (style == 64) {
        standard = QStyle::SP_MessageBoxInformation;
    }
    if (standard != QStyle::SP_CustomBase) {
        const int side = this->style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
        icon->setPixmap(this->style()->standardIcon(standard, nullptr, this).pixmap(side, side));
    }
    icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    const QString shown = ForDisplay(text);
    text_ = new QPlainTextEdit(this);
    text_->setObjectName(QStringLiteral("text"));
    text_->setReadOnly(true);
    text_->setFrameShape(QFrame::NoFrame);
    text_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    text_->setPlainText(shown);
    text_->viewport()->setAutoFillBackground(false);
    text_->setStyleSheet(QStringLiteral("QPlainTextEdit { background: transparent; }"));

    // As tall as the text, but never taller than most of the screen: the rest scrolls.
    const QRect screen = AvailableScreen(this);
    const int maxTextHeight = std::max(60, screen.height() * 2 / 3);
    const QFontMetrics metrics(text_->font());
    int textHeight = maxTextHeight;
    if (shown.size() <= kMeasuredLength) {
        const QRect needed = metrics.boundingRect(QRect(0, 0, kTextWidth - 12, 1 << 20),
                                                  Qt::TextWrapAnywhere, shown);
        textHeight = std::clamp(needed.height() + 12, metrics.height() + 12, maxTextHeight);
    }
    text_->setFixedSize(kTextWidth, textHeight);

    ok_ = new QPushButton(kOkText, this);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

    auto* body = new QHBoxLayout;
    body->addWidget(icon, 0, Qt::AlignTop);
    body->addWidget(text_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    ok_->setFocus();
}

QString MessageDialog::Text() const {
    return text_->toPlainText();
}

InputDialog::InputDialog(const QString& prompt, const QString& initial, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(kInputCaption);
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* label = new QLabel(ForDisplay(prompt), this);
    label->setObjectName(QStringLiteral("prompt"));
    label->setWordWrap(true);
    line_ = new QLineEdit(initial, this);
    line_->setObjectName(QStringLiteral("text"));
    // Addresses can be long; Qt's default limit would cut them silently.
    line_->setMaxLength(1 << 20);
    line_->setMinimumWidth(360);
    line_->selectAll();
    label->setBuddy(line_);

    confirm_ = new QPushButton(kConfirmText, this);
    confirm_->setDefault(true);
    cancel_ = new QPushButton(kCancelText, this);
    connect(confirm_, &QPushButton::clicked, this, &InputDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(confirm_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(line_);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    line_->setFocus();
}

QString InputDialog::Text() const {
    return line_->text();
}

void InputDialog::accept() {
    if (validator_ && !validator_(line_->text())) {
        return;
    }
    QDialog::accept();
}

}  // namespace quill
