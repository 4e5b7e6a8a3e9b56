// A UiPort that records every call and answers from scripts the test sets up, so the handlers
// run without a display. Texts are GBK, as the handlers see them.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/ui_port.h"

namespace quill::testing {

class FakeUi : public UiPort {
  public:
    struct Message {
        std::string text;
        int style = 0;
        bool operator==(const Message&) const = default;
    };
    struct InputCall {
        std::string prompt;
        std::string initial;
    };
    struct PictureCall {
        PictureBox box;
        Bytes bytes;
    };

    // Answers of the input box, in turn: a text confirms, nullopt cancels. When none is left
    // the box is cancelled.
    std::deque<std::optional<std::string>> inputAnswers;
    // Answers of the file dialog, in turn: a path confirms, nullopt cancels. When none is left
    // the dialog is cancelled.
    std::deque<std::optional<std::string>> dialogAnswers;
    // What whole-file reads and HTTP file reads give; anything else gives no bytes.
    std::map<std::string, Bytes> files;
    std::map<std::string, Bytes> webFiles;
    int checkBox = 0;

    // What happened, in order of kind.
    std::vector<Message> messages;
    std::vector<InputCall> inputs;
    std::vector<std::string> filters;
    int dialogOpenings = 0;
    std::vector<PictureCall> pictures;
    std::vector<std::string> fileReads;
    std::vector<std::string> webReads;
    int busyRuns = 0;
    // Every call by name, in the order made: "MessageBox", "InputBox", "RunWhileBusy", ...
    std::vector<std::string> calls;
    // The calls made from inside a RunWhileBusy work, by name.
    std::vector<std::string> callsWhileBusy;

    void MessageBox(const std::string& text, int style) override {
        Record("MessageBox");
        messages.push_back({text, style});
    }

    bool InputBox(const std::string& prompt, const std::string& initial,
                  std::string& text) override {
        Record("InputBox");
        inputs.push_back({prompt, initial});
        return TakeAnswer(inputAnswers, text);
    }

    void SetFileDialogFilter(const std::string& filter) override {
        Record("SetFileDialogFilter");
        filters.push_back(filter);
    }

    bool OpenFileDialog() override {
        Record("OpenFileDialog");
        ++dialogOpenings;
        return TakeAnswer(dialogAnswers, fileName_);
    }

    // Like the real dialog, it keeps the last confirmed path.
    std::string FileDialogFileName() override {
        Record("FileDialogFileName");
        return fileName_;
    }

    void SetPicture(PictureBox box, const Bytes& bytes) override {
        Record("SetPicture");
        pictures.push_back({box, bytes});
    }

    int CheckBoxState() override {
        Record("CheckBoxState");
        return checkBox;
    }

    Bytes ReadWholeFile(const std::string& path) override {
        Record("ReadWholeFile");
        fileReads.push_back(path);
        const auto found = files.find(path);
        return found == files.end() ? Bytes{} : found->second;
    }

    Bytes HttpFileRead(const std::string& url) override {
        Record("HttpFileRead");
        webReads.push_back(url);
        const auto found = webFiles.find(url);
        return found == webFiles.end() || url.empty() ? Bytes{} : found->second;
    }

    void RunWhileBusy(const std::function<void()>& work) override {
        Record("RunWhileBusy");
        ++busyRuns;
        ++busyDepth_;
        work();
        --busyDepth_;
    }

    // The last picture set on `box`, or nullopt when none was set.
    std::optional<Bytes> LastPicture(PictureBox box) const {
        for (auto it = pictures.rbegin(); it != pictures.rend(); ++it) {
            if (it->box == box) {
                return it->bytes;
            }
        }
        return std::nullopt;
    }

  private:
    // The next scripted answer: a text confirms and goes into `into`; none left, or nullopt,
    // cancels and leaves `into` alone.
    static bool TakeAnswer(std::deque<std::optional<std::string>>& answers, std::string& into) {
        if (answers.empty()) {
            return false;
        }
        const std::optional<std::string> answer = answers.front();
        answers.pop_front();
        if (!answer) {
            return false;
        }
        into = *answer;
        return true;
    }

    void Record(const char* name) {
        calls.emplace_back(name);
        if (busyDepth_ > 0) {
            callsWhileBusy.emplace_back(name);
        }
    }

    std::string fileName_;
    int busyDepth_ = 0;
};

}  // namespace quill::testing
