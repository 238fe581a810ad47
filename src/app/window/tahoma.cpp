#include "app/window/tahoma.h"

#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QStringList>

namespace app {

QString TahomaFamily() {
    static const QString family = [] {
        QString found;
        for (const char* file :
             {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"}) {
            if (!QFile::exists(file)) continue;
            int id = QFontDatabase::addApplicationFont(file);
            QStringList families = QFontDatabase::applicationFontFamilies(id);
            if (found.isEmpty() && !families.isEmpty()) found = families.front();
        }
        return found.isEmpty() ? QGuiApplication::font().family() : found;
    }();
    return family;
}

QFont TitleFont() {
    QFont font(TahomaFamily());
    font.setPointSizeF(14.25);
    font.setBold(true);
    return font;
}

QFont GridFont() {
    QFont font(TahomaFamily());
    font.setPointSizeF(8.25);
    return font;
}

}  // namespace app
