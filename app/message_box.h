// The tool's message box and input box. Texts are QStrings here; MainWindow converts GBK.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace quill {

// Caption "信息：", one OK button, the error icon for style 16 and the information icon for
// style 64. Long texts scroll inside a box that never grows past the screen.
class MessageDialog : public QDialog {
    Q_OBJECT
  public:
    MessageDialog(const QString& text, int style, QWidget* parent = nullptr);

    QString Text() const;
    int Style() const { return style_; }
    QPushButton* OkButton() const { return ok_; }

  private:
    int style_;
    QPlainTextEdit* text_ = nullptr;
    QPushButton* ok_ = nullptr;
};

// Caption "请输入：", a prompt, a line with the initial text, and the buttons "确认输入(&O)"
// and "取消(&C)". `accept` may refuse the confirmed text (and say why); the box then stays.
class InputDialog : public QDialog {
    Q_OBJECT
  public:
    InputDialog(const QString& prompt, const QString& initial, QWidget* parent = nullptr);

    QString Text() const;
    QLineEdit* Line() const { return line_; }
    QPushButton* ConfirmButton() const { return confirm_; }
    QPushButton* CancelButton() const { return cancel_; }

    void SetValidator(std::function<bool(const QString&)> validator) {
        validator_ = std::move(validator);
    }

    void accept() override;

  private:
    QLineEdit* line_ = nullptr;
    QPushButton* confirm_ = nullptr;
    QPushButton* cancel_ = nullptr;
    std::function<bool(const QString&)> validator_;
};

// Captions shared by the boxes and their tests.
inline const QString kMessageCaption = QStringLiteral("信息：");
inline const QString kInputCaption = QStringLiteral("请输入：");
inline const QString kConfirmText = QStringLiteral("确认输入(&O)");
inline const QString kCancelText = QStringLiteral("取消(&C)");
inline const QString kOkText = QStringLiteral("确定");

}  // namespace quill
