#pragma once

#include "common/dialogs.h"

#include <QStringList>

/// Dialogs that answer at once and remember what they were asked, installed for
/// the life of the object.
class FakeDialogs : public Common::Dialogs
{
public:
    FakeDialogs() { install(this); }
    ~FakeDialogs() override { install(nullptr); }

    void message(QWidget *, const QString &text, const QString &title, Icon) override
    {
        messages << title + QLatin1Char('|') + text;
    }
    bool question(QWidget *, const QString &text, const QString &title) override
    {
        questions << title + QLatin1Char('|') + text;
        return answerYes;
    }
    Answer questionWithCancel(QWidget *, const QString &text, const QString &title) override
    {
        questions << title + QLatin1Char('|') + text;
        return answer;
    }
    QString openFileName(QWidget *,
                         const QString &title,
                         const QString &folder,
                         const QString &filter) override
    {
        choosers << title + QLatin1Char('|') + folder + QLatin1Char('|') + filter;
        return chosenFile;
    }
    QString saveFileName(QWidget *,
                         const QString &title,
                         const QString &folder,
                         const QString &filter) override
    {
        choosers << title + QLatin1Char('|') + folder + QLatin1Char('|') + filter;
        return chosenFile;
    }

    QString chosenFile; ///< what the file choosers return; empty: cancelled
    bool answerYes = true;
    Answer answer = Answer::Yes; ///< to a question with Cancel
    QStringList messages;        ///< "title|text"
    QStringList questions;       ///< "title|text"
    QStringList choosers;        ///< "title|folder|filter"
};
