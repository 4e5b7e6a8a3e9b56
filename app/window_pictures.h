// The window's two pictures, painted at start-up: the background with its image areas, buttons
// and footnote, and the merge button.
#pragma once

#include <QImage>

namespace quill {

QImage PaintBackgroundPicture();   // 835 x 519
QImage PaintMergeButtonPicture();  // 100 x 38

}  // namespace quill
