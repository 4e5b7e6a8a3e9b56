#include "app/gbk_qstring.h"

#include "http/gbk_codec.h"

namespace quill {

QString QStringFromGbk(const std::string& gbk) {
    return QString::fromStdU16String(Utf16FromGbk(gbk));
}

bool GbkFromQString(const QString& text, std::string& gbk) {
    const std::u16string utf16 = text.toStdU16String();
    bool exact = false;
    gbk = GbkFromUtf16(utf16, &exact);
    if (!exact) {
        return false;
    }
    // Some characters share one GBK form; only a round trip proves the name is the same.
    bool back = false;
    return Utf16FromGbk(gbk, &back) == utf16 && back;
}

}  // namespace quill
