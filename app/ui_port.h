// What the selection handlers, the face check and the merge need of the window. MainWindow
// implements it; tests use a recording fake, so the handlers' logic runs without a display.
// All texts are GBK.
#pragma once

#include <functional>
#include <string>

#include "http/text.h"

namespace quill {

enum class PictureBox { Template, Target, Merged };

// Message box styles.
constexpr int kStyleError = 16;
constexpr int kStyleInformation = 64;

class UiPort {
  public:
    virtual ~UiPort() = default;

    // Modal box with caption "信息：" and one OK button.
    virtual void MessageBox(const std::string& text, int style) = 0;
    // Modal input box. On confirm stores the edited text (possibly empty) into `text` and returns
    // true; on cancel leaves `text` untouched and returns false.
    virtual bool InputBox(const std::string& prompt, const std::string& initial,
                          std::string& text) = 0;

    // The one file dialog: filter in "description|patterns|..." form, open-file mode, and the
    // last confirmed path, which it offers again at the next opening.
    virtual void SetFileDialogFilter(const std::string& filter) = 0;
    virtual bool OpenFileDialog() = 0;
    virtual std::string FileDialogFileName() = 0;

    // Sets a picture box from bytes; no bytes clear it.
    virtual void SetPicture(PictureBox box, const Bytes& bytes) = 0;
    // The check box 选择框_返回信息: 1 when ticked, 0 when not.
    virtual int CheckBoxState() = 0;

    // The two reads touch no widget: the handlers may call them inside RunWhileBusy's work.
    // Whole-file read by GBK path; no bytes when it cannot be read, is empty, or the path has no
    // exact file-system form.
    virtual Bytes ReadWholeFile(const std::string& path) = 0;
    // GET over HTTP/1.0 with "Accept: */*" and no cache; the body whatever the status, no bytes
    // on failure or for an empty address.
    virtual Bytes HttpFileRead(const std::string& url) = 0;

    // Runs `work` to its end before returning. The window keeps painting and shows that it is
    // busy, but takes no input meanwhile, so one action ends before the next can start.
    virtual void RunWhileBusy(const std::function<void()>& work) = 0;
};

// The events of the window, each forwarded as it comes.
class WindowEvents {
  public:
    virtual ~WindowEvents() = default;
    virtual void UrlTemplatePressed() = 0;    // 透明标签_url_模板图
    virtual void UrlTargetPressed() = 0;      // 透明标签_url_目标图
    virtual void LocalTemplatePressed() = 0;  // 透明标签_本地上传_模板图
    virtual void LocalTargetPressed() = 0;    // 透明标签_本地上传_目标图
    virtual void FilesDroppedTemplate(const std::string& text) = 0;  // 拖放对象1
    virtual void FilesDroppedTarget(const std::string& text) = 0;    // 拖放对象2
    virtual void MergePressed() = 0;                                 // 标签_融合图片
};

}  // namespace quill
