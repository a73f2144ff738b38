#include "common/fonts.h"

#include <QStringList>

namespace Common {

QFont JapaneseFont(const QString &family, double pointSize)
{
    struct Fallback
    {
        const char *family;
        QStringList installed;
    };
    static const Fallback fallbacks[] = {
        {"ＭＳ 明朝", {"IPAMincho", "Noto Serif CJK JP"}},
        {"ＭＳ Ｐ明朝", {"IPAPMincho", "Noto Serif CJK JP"}},
        {"ＭＳ ゴシック", {"IPAGothic", "Noto Sans Mono CJK JP"}},
        {"ＭＳ Ｐゴシック", {"IPAPGothic", "Noto Sans CJK JP"}},
    };

    QStringList families{family};
    for (const Fallback &fallback : fallbacks) {
        if (family == QString::fromUtf8(fallback.family))
            families += fallback.installed;
    }
    QFont font;
    font.setFamilies(families);
    font.setPointSizeF(pointSize);
    return font;
}

} // namespace Common
