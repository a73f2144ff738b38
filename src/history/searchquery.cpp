#include "history/searchquery.h"

#include <utility>

namespace History {
namespace {

qsizetype characterCount(const QString &word)
{
    return word.toUcs4().size();
}

// Search words: separated by blanks (an ideographic space too). A NUL separates
// words as well, since neither LIKE nor a full-text query can hold one.
QStringList wordsOf(const QString &search)
{
    QStringList words;
    QString word;
    for (const QChar ch : search) {
        if (ch.isSpace() || ch.isNull()) {
            if (!word.isEmpty())
                words << std::exchange(word, QString());
        } else {
            word += ch;
        }
    }
    if (!word.isEmpty())
        words << word;
    return words;
}

// A word as a quoted phrase of a full-text query: inside the quotes every
// character is literal, a quote written twice.
QString phraseOf(QString word)
{
    return u'"' + word.replace(u'"', QLatin1String("\"\"")) + u'"';
}

// A LIKE pattern finding the word anywhere, with \ as the escape character.
QString likePatternOf(const QString &word)
{
    QString pattern = QStringLiteral("%");
    for (const QChar ch : word) {
        if (ch == u'%' || ch == u'_' || ch == u'\\')
            pattern += u'\\';
        pattern += ch;
    }
    return pattern + u'%';
}

} // namespace

SearchQuery BuildSearchQuery(const QString &words)
{
    QStringList phrases;
    QStringList patterns;
    for (const QString &word : wordsOf(words)) {
        if (characterCount(word) >= 3)
            phrases << phraseOf(word);
        else
            patterns << likePatternOf(word);
    }
    SearchQuery query;
    QStringList conditions;
    // The texts are read newest first through the last_run index, each looked up
    // in the set of matches, until the limit is reached. (Without the + SQLite
    // would read every match by its id and sort them all, several times slower
    // for a common word.)
    if (!phrases.isEmpty()) {
        conditions << QStringLiteral(
            "+t.id IN (SELECT rowid FROM texts_fts WHERE texts_fts MATCH ?)");
        query.parameters << phrases.join(u" AND ");
    }
    for (const QString &pattern : std::as_const(patterns)) {
        conditions << QStringLiteral("t.head LIKE ? ESCAPE '\\'");
        query.parameters << pattern;
    }
    query.sql = QStringLiteral("SELECT t.id, t.head, r.started, r.server, r.user, r.outcome,"
                               " r.error, r.rows, r.elapsed_ms,"
                               " (SELECT count(*) FROM runs c WHERE c.text_id = t.id)"
                               " FROM texts t LEFT JOIN runs r ON r.id = t.last_run")
                + (conditions.isEmpty() ? QString()
                                        : QStringLiteral(" WHERE ") + conditions.join(u" AND "))
                + QStringLiteral(" ORDER BY t.last_run DESC LIMIT ?");
    return query;
}

} // namespace History
