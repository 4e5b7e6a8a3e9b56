// QString to GBK and back, through the program's one GBK codec.
#pragma once

#include <QString>
#include <string>

namespace quill {

QString QStringFromGbk(const std::string& gbk);

// GBK bytes of `text`. False when some character has no GBK form or would come back as another
// character; `gbk` then still holds the substituted form, which must not name a file.
bool GbkFromQString(const QString& text, std::string& gbk);

}  // namespace quill
