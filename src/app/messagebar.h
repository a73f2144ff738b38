#pragma once

#include <QStatusBar>

/// The main window's status bar. It shows its message on one line, as any status
/// bar does; a message longer than that line (a database error of several lines,
/// say) can still be read whole: in the tooltip, and in a message box that a
/// click on the bar opens.
class MessageBar : public QStatusBar
{
    Q_OBJECT

public:
    explicit MessageBar(QWidget *parent = nullptr);

    /// True when the current message does not fit on the bar's line.
    bool messageIsCut() const;

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void showWholeMessage(const QString &message);
};
