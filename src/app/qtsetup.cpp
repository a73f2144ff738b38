#include "app/qtsetup.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QSettings>
#include <QTranslator>

namespace SQLEdit {

bool InstallQtJapanese()
{
    // Owned by the application, which removes it when it ends.
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                          QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

void KeepQtSettingsIn(const QString &folder)
{
    // Qt's file dialog keeps its state in QSettings(UserScope, "QtProject"); on
    // Linux the native format is the INI format, and both are set all the same.
    for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, folder);
}

} // namespace SQLEdit
