#pragma once

#include <QDialog>

#include <array>

class QFrame;
class QLabel;
class QPushButton;

/// The About box: the application's icon, title, version and description, a
/// disclaimer, and a button that starts the system-information program.
/// Controls keep their names as objectNames.
class frmAbout : public QDialog
{
    Q_OBJECT

public:
    /// A dialog owned by the given window; show it with exec().
    explicit frmAbout(QWidget *owner);

    QLabel *picIcon = nullptr;
    QLabel *lblTitle = nullptr;
    QLabel *lblVersion = nullptr;
    QLabel *lblDescription = nullptr;
    QLabel *lblDisclaimer = nullptr;
    std::array<QFrame *, 2> Line1{}; ///< one etched line: its dark and its light half
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdSysInfo = nullptr;

private:
    void createControls();
    void Form_Load();
    void StartSysInfo();
};
