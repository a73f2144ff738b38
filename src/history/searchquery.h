#pragma once

#include <QString>
#include <QStringList>

namespace History {

/// A search of the history as one SQL query over the texts (`t`) joined with
/// their last run (`r`), newest first, its last parameter the row limit.
struct SearchQuery
{
    QString sql;
    QStringList parameters; ///< bound in order, before the limit
};

/// The query for the words of a search box: separated by blanks, each must
/// occur in a text's indexed start, letter case aside. Words of three
/// characters or more are looked up in the trigram index, shorter ones (which
/// it cannot find) compared with LIKE. Every character of a word is literal.
SearchQuery BuildSearchQuery(const QString &words);

} // namespace History
