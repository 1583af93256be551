#include "workfolder/fonts.h"

#include <QFont>
#include <QFontDatabase>
#include <QStringList>

namespace strobo::workfolder {

void installJapaneseFontAlias() {
    const QStringList candidates = {"IPAPGothic",       "IPA Pゴシック", "IPAGothic",
                                    "Noto Sans CJK JP", "VL PGothic",    "TakaoPGothic"};
    const QStringList families = QFontDatabase::families();
    QStringList present;
    for (const QString& c : candidates) {
        if (families.contains(c, Qt::CaseInsensitive)) present << c;
    }
    if (present.isEmpty()) present = candidates;
    const QString stored = QString::fromUtf8(kStoredFontFace);
    QFont::removeSubstitutions(stored);
    QFont::insertSubstitutions(stored, present);
}

}  // namespace strobo::workfolder
