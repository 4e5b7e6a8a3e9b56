// Runs a piece of work off the window's thread while the window keeps painting, shows a busy
// cursor, and takes no input: presses, keys, drops and close requests made meanwhile are
// dropped, not queued, so nothing starts when the work ends.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

class QWidget;

namespace quill {

class BusyRunner : public QObject {
    Q_OBJECT
  public:
    // `window` is the top-level window whose input is held off; other windows (modal boxes the
    // work opens) stay usable.
    explicit BusyRunner(QWidget* window);
    ~BusyRunner() override;

    // Runs `work` to its end before returning; an exception it throws comes out here. Called
    // from the work itself (on its thread), the nested work simply runs.
    void Run(const std::function<void()>& work);
    bool Busy() const { return depth_ > 0; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool HeldOff(QObject* watched) const;

    QPointer<QWidget> window_;
    int depth_ = 0;
};

}  // namespace quill
