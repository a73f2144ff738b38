#pragma once

#include <QString>

class QWidget;

namespace Common {

/// Everything that would block a test behind a modal window: message boxes and
/// file choosers. Production shows real dialogs; tests install a fake.
class Dialogs
{
public:
    enum class Icon { None, Information, Warning, Critical };
    enum class Answer { Yes, No, Cancel };

    virtual ~Dialogs() = default;

    /// A message box with one OK button.
    virtual void message(QWidget *parent, const QString &text, const QString &title, Icon icon) = 0;

    /// A question with Yes and No buttons, No the default; true for Yes.
    virtual bool question(QWidget *parent, const QString &text, const QString &title) = 0;

    /// A question with Yes, No and Cancel buttons, Cancel the default (and Esc).
    virtual Answer questionWithCancel(QWidget *parent, const QString &text, const QString &title)
        = 0;

    /// An open-file chooser starting in folder; an empty result means cancelled.
    virtual QString openFileName(QWidget *parent,
                                 const QString &title,
                                 const QString &folder,
                                 const QString &filter)
        = 0;

    /// A save-file chooser starting in folder, which asks before replacing the
    /// file chosen; an empty result means cancelled.
    virtual QString saveFileName(QWidget *parent,
                                 const QString &title,
                                 const QString &folder,
                                 const QString &filter)
        = 0;

    /// The implementation in use (real dialogs unless a test installed another).
    static Dialogs &instance();

    /// Installs another implementation (not owned); nullptr restores the real one.
    static void install(Dialogs *dialogs);
};

} // namespace Common
