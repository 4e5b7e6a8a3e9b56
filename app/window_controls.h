// Small controls of the main window: press areas that draw nothing (or tile a picture) but take
// a left-button press anywhere in their rectangle.
#pragma once

#include <QPixmap>
#include <QWidget>
#include <functional>

namespace quill {

class PressArea : public QWidget {
    Q_OBJECT
  public:
    explicit PressArea(QWidget* parent = nullptr);

    // Runs when the left button goes down over the area, before it is released.
    void SetPressHandler(std::function<void()> handler) { handler_ = std::move(handler); }
    // A picture tiled over the whole area; none draws nothing.
    void SetTile(const QPixmap& tile);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    std::function<void()> handler_;
    QPixmap tile_;
};

}  // namespace quill
