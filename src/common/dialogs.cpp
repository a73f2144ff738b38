#include "common/dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace Common {

namespace {

// Qt's own file chooser rather than the desktop's: it speaks Japanese with the
// rest of the window, and it keeps its state where Korvane keeps its files
// (see KeepQtSettingsIn), where the desktop's would write into the home folder.
constexpr QFileDialog::Options QtOwnChooser = QFileDialog::DontUseNativeDialog;

class RealDialogs final : public Dialogs
{
public:
    void message(QWidget *parent, const QString &text, const QString &title, Icon icon) override
    {
        static const QMessageBox::Icon icons[] = {QMessageBox::NoIcon, QMessageBox::Information,
                                                  QMessageBox::Warning, QMessageBox::Critical};
        QMessageBox box(icons[int(icon)], title, text, QMessageBox::Ok, parent);
        box.exec();
    }

    bool question(QWidget *parent, const QString &text, const QString &title) override
    {
        return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::No)
               == QMessageBox::Yes;
    }

    Answer questionWithCancel(QWidget *parent, const QString &text, const QString &title) override
    {
        // Cancel is the default: Enter pressed in haste neither keeps nor drops anything.
        switch (QMessageBox::question(parent, title, text,
                                      QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                      QMessageBox::Cancel)) {
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        default:
            return Answer::Cancel;
        }
    }

    QString openFileName(QWidget *parent,
                         const QString &title,
                         const QString &folder,
                         const QString &filter) override
    {
        return QFileDialog::getOpenFileName(parent, title, folder, filter, nullptr, QtOwnChooser);
    }

    QString saveFileName(QWidget *parent,
                         const QString &title,
                         const QString &folder,
                         const QString &filter) override
    {
        return QFileDialog::getSaveFileName(parent, title, folder, filter, nullptr, QtOwnChooser);
    }
};

RealDialogs realDialogs;
Dialogs *current = &realDialogs;

} // namespace

Dialogs &Dialogs::instance()
{
    return *current;
}

void Dialogs::install(Dialogs *dialogs)
{
    current = dialogs ? dialogs : &realDialogs;
}

} // namespace Common
