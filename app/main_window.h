// The tool's one window. It builds every control at its fixed place, implements UiPort for the
// handlers, and forwards each control event to a WindowEvents, nothing more.
#pragma once

#include <QWidget>
#include <string>

#include "app/file_dialog.h"
#include "app/ui_port.h"

class QCheckBox;
class QLabel;

namespace quill {

class BusyRunner;
class PictureBoxWidget;
class PressArea;

class MainWindow : public QWidget, public UiPort {
    Q_OBJECT
  public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Where the control events go; null sends them nowhere.
    void SetEvents(WindowEvents* events) { events_ = events; }

    // Themed drawing: schemes 1 to 3 draw the control frames in their colour, any other number
    // switches it off.
    void SetThemeScheme(int scheme);

    PictureBoxWidget* Picture(PictureBox box) const;
    QCheckBox* CheckBox() const { return checkBox_; }

    // UiPort. Texts are GBK. Called from a RunWhileBusy work, these run on the window's thread.
    void MessageBox(const std::string& text, int style) override;
    bool InputBox(const std::string& prompt, const std::string& initial,
                  std::string& text) override;
    void SetFileDialogFilter(const std::string& filter) override;
    bool OpenFileDialog() override;
    std::string FileDialogFileName() override;
    void SetPicture(PictureBox box, const Bytes& bytes) override;
    int CheckBoxState() override;
    Bytes ReadWholeFile(const std::string& path) override;
    Bytes HttpFileRead(const std::string& url) override;
    void RunWhileBusy(const std::function<void()>& work) override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void BuildControls();
    // The created handler: themed drawing, then the two drop targets.
    void Created();
    void FilesDropped(PictureBox box, const QStringList& paths);
    void ShowPathError();
    void FitOuterSize();
    template <typename Call>
    void OnWindowThread(Call&& call);

    WindowEvents* events_ = nullptr;
    BusyRunner* busy_ = nullptr;
    FileOpenDialog fileDialog_;
    std::string fileName_;  // GBK form of the dialog's last confirmed path
    QCheckBox* checkBox_ = nullptr;
    PictureBoxWidget* templateBox_ = nullptr;
    PictureBoxWidget* targetBox_ = nullptr;
    PictureBoxWidget* mergedBox_ = nullptr;
    bool placed_ = false;
};

// Texts the window shows.
inline constexpr char kWindowCaption[] = "Quillmere1.1";
inline constexpr char kCheckBoxCaption[] = "开启返回信息(返回内容过长时不会弹出提示)";
inline constexpr char kNoticeText[] = "图片由Quillmere生成\r\n请勿用于非法用途!";
// Shown when a chosen or dropped path cannot be handed on as the very same name.
inline constexpr char kPathErrorText[] = "错误,文件路径含有无法识别的字符,请重命名文件后重试!";
inline constexpr char kInputErrorText[] = "错误,输入的内容含有无法识别的字符,请修改后重试!";

}  // namespace quill
