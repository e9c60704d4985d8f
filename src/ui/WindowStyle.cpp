#include "WindowStyle.h"

#include <QFont>

namespace altrix {

void InstallFontSubstitutes() {
    static const bool installed = [] {
        QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                                   {QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Liberation Sans"),
                                    QStringLiteral("Arimo"), QStringLiteral("Nimbus Sans"),
                                    QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
        QFont::insertSubstitutions(QStringLiteral("Times New Roman"),
                                   {QStringLiteral("Liberation Serif"), QStringLiteral("Tinos"),
                                    QStringLiteral("Nimbus Roman"), QStringLiteral("DejaVu Serif")});
        QFont::insertSubstitutions(QStringLiteral("Georgia"),
                                   {QStringLiteral("Gelasio"), QStringLiteral("C059"),
                                    QStringLiteral("DejaVu Serif")});
        return true;
    }();
    (void)installed;
}

}  // namespace altrix
