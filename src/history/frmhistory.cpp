#include "history/frmhistory.h"

#include "history/historystore.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// How long the search waits after a key, so that a fast typist runs one search.
constexpr int SearchDelayMilliseconds = 120;
// The list shows this many groups at most; a search finds older ones.
constexpr int ListedEntries = 1000;

enum Column { LastRun, Runs, Outcome, Connection, Statement };

QString firstLine(const QString &text)
{
    const QString trimmed = text.trimmed();
    const qsizetype end = trimmed.indexOf(QLatin1Char('\n'));
    QString line = end < 0 ? trimmed : trimmed.left(end).trimmed() + QStringLiteral(" …");
    return line.replace(QLatin1Char('\r'), QLatin1Char(' '));
}

QString outcomeText(const History::Entry &entry)
{
    if (entry.rows >= 0)
        return QStringLiteral("%1 (%2件)").arg(entry.outcome).arg(entry.rows);
    return entry.outcome;
}

} // namespace

frmHistory::frmHistory(History::Store &store, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , mStore(store)
{
    setObjectName(QStringLiteral("frmHistory"));
    setWindowTitle(QStringLiteral("履歴"));
    resize(760, 520);

    auto *searchLabel = new QLabel(QStringLiteral("検索(&S):"), this);
    txtSearch = new QLineEdit(this);
    txtSearch->setObjectName(QStringLiteral("txtSearch"));
    txtSearch->setClearButtonEnabled(true);
    txtSearch->setPlaceholderText(QStringLiteral("文に含まれる語 (空白で区切ると全部を含む文)"));
    searchLabel->setBuddy(txtSearch);
    txtSearch->installEventFilter(this);
    lblCount = new QLabel(this);

    lvwHistory = new QTreeWidget(this);
    lvwHistory->setObjectName(QStringLiteral("lvwHistory"));
    lvwHistory->setAccessibleName(QStringLiteral("履歴の一覧"));
    lvwHistory->setRootIsDecorated(false);
    lvwHistory->setUniformRowHeights(true);
    lvwHistory->setAllColumnsShowFocus(true);
    lvwHistory->setHeaderLabels({QStringLiteral("最終実行"), QStringLiteral("回数"),
                                 QStringLiteral("結果"), QStringLiteral("接続"),
                                 QStringLiteral("文")});
    lvwHistory->header()->setStretchLastSection(true);
    lvwHistory->installEventFilter(this);

    auto *statementLabel = new QLabel(QStringLiteral("文の全体(&T):"), this);
    txtStatement = new QPlainTextEdit(this);
    txtStatement->setObjectName(QStringLiteral("txtStatement"));
    txtStatement->setReadOnly(true);
    txtStatement->setLineWrapMode(QPlainTextEdit::NoWrap);
    statementLabel->setBuddy(txtStatement);

    cmdEditor = new QPushButton(QStringLiteral("エディタへ(&E)"), this);
    cmdEditor->setObjectName(QStringLiteral("cmdEditor"));
    cmdEditor->setToolTip(
        QStringLiteral("選んだ文をエディタの選択範囲に置きます (実行はしません)"));
    cmdDelete = new QPushButton(QStringLiteral("削除(&D)"), this);
    cmdDelete->setObjectName(QStringLiteral("cmdDelete"));
    cmdDelete->setToolTip(QStringLiteral("選んだ文の記録を履歴から消します"));

    auto *searchRow = new QHBoxLayout;
    searchRow->addWidget(searchLabel);
    searchRow->addWidget(txtSearch, 1);
    searchRow->addWidget(lblCount);
    auto *lower = new QWidget(this);
    auto *lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    lowerLayout->addWidget(statementLabel);
    lowerLayout->addWidget(txtStatement);
    auto *splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(lvwHistory);
    splitter->addWidget(lower);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdEditor);
    buttons->addWidget(cmdDelete);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(searchRow);
    layout->addWidget(splitter, 1);
    layout->addLayout(buttons);

    mSearchDelay = new QTimer(this);
    mSearchDelay->setSingleShot(true);
    mSearchDelay->setInterval(SearchDelayMilliseconds);
    connect(mSearchDelay, &QTimer::timeout, this, &frmHistory::refresh);
    connect(txtSearch, &QLineEdit::textChanged, mSearchDelay, qOverload<>(&QTimer::start));
    connect(txtSearch, &QLineEdit::returnPressed, this, &frmHistory::chooseSelected);
    connect(lvwHistory, &QTreeWidget::currentItemChanged, this, &frmHistory::showSelected);
    connect(lvwHistory, &QTreeWidget::itemActivated, this, &frmHistory::chooseSelected);
    connect(cmdEditor, &QPushButton::clicked, this, &frmHistory::chooseSelected);
    connect(cmdDelete, &QPushButton::clicked, this, &frmHistory::deleteSelected);
}

void frmHistory::refresh()
{
    mSearchDelay->stop();
    const qint64 selected = selectedTextId();
    const QList<History::Entry> entries = mStore.search(txtSearch->text(), ListedEntries);
    const QLocale locale;
    lvwHistory->clear();
    QList<QTreeWidgetItem *> items;
    items.reserve(entries.size());
    QTreeWidgetItem *current = nullptr;
    for (const History::Entry &entry : entries) {
        auto *item = new QTreeWidgetItem;
        item->setData(LastRun, Qt::UserRole, entry.textId);
        item->setText(LastRun, entry.lastRun.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")));
        item->setText(Runs, locale.toString(entry.runs));
        item->setTextAlignment(Runs, Qt::AlignRight | Qt::AlignVCenter);
        item->setText(Outcome, outcomeText(entry));
        if (!entry.error.isEmpty())
            item->setToolTip(Outcome, entry.error);
        item->setText(Connection, entry.user.isEmpty()
                                      ? entry.server
                                      : entry.user + QStringLiteral(" @ ") + entry.server);
        item->setText(Statement, firstLine(entry.head));
        if (entry.textId == selected)
            current = item;
        items.append(item);
    }
    lvwHistory->addTopLevelItems(items);
    lblCount->setText(QStringLiteral("%1件").arg(entries.size()));
    if (!current && !items.isEmpty())
        current = items.first();
    lvwHistory->setCurrentItem(current);
    if (!current)
        txtStatement->clear();
    for (int column = LastRun; column < Statement; ++column)
        lvwHistory->resizeColumnToContents(column);
}

qint64 frmHistory::selectedTextId() const
{
    const QTreeWidgetItem *item = lvwHistory->currentItem();
    return item ? item->data(LastRun, Qt::UserRole).toLongLong() : 0;
}

void frmHistory::showSelected()
{
    const qint64 id = selectedTextId();
    txtStatement->setPlainText(id ? mStore.text(id) : QString());
    cmdEditor->setEnabled(id != 0);
    cmdDelete->setEnabled(id != 0);
}

void frmHistory::chooseSelected()
{
    if (const qint64 id = selectedTextId())
        emit statementChosen(mStore.text(id));
}

void frmHistory::deleteSelected()
{
    const qint64 id = selectedTextId();
    if (!id)
        return;
    const int row = lvwHistory->indexOfTopLevelItem(lvwHistory->currentItem());
    mStore.remove(id);
    delete lvwHistory->takeTopLevelItem(row);
    lblCount->setText(QStringLiteral("%1件").arg(lvwHistory->topLevelItemCount()));
    showSelected();
}

void frmHistory::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool frmHistory::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent *>(event)->key();
    if (watched == lvwHistory && key == Qt::Key_Delete) {
        deleteSelected();
        return true;
    }
    // The arrow keys and page keys move through the list while the search
    // box keeps the focus, so that a search and a choice need no mouse.
    if (watched == txtSearch
        && (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp
            || key == Qt::Key_PageDown)) {
        QApplication::sendEvent(lvwHistory, event);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
