#include "engine/transactioncontrol.h"

#include <QString>

namespace Engine {
namespace {

// Walks over a statement word by word, skipping blanks and comments.
class WordReader
{
public:
    explicit WordReader(QStringView sql)
        : mSql(sql)
    {}

    /// The next word in capitals; ";" for a semicolon, empty at the end (or at
    /// anything that is neither a word nor a semicolon).
    QString next()
    {
        skipBlanksAndComments();
        if (mPos >= mSql.size())
            return {};
        if (mSql[mPos] == QLatin1Char(';')) {
            ++mPos;
            return QStringLiteral(";");
        }
        const qsizetype start = mPos;
        while (mPos < mSql.size() && (mSql[mPos].isLetter() || mSql[mPos] == QLatin1Char('_')))
            ++mPos;
        return mSql.sliced(start, mPos - start).toString().toUpper();
    }

private:
    void skipBlanksAndComments()
    {
        while (mPos < mSql.size()) {
            if (mSql[mPos].isSpace()) {
                ++mPos;
            } else if (mSql.sliced(mPos).startsWith(u"--")) {
                while (mPos < mSql.size() && mSql[mPos] != QLatin1Char('\n'))
                    ++mPos;
            } else if (mSql.sliced(mPos).startsWith(u"/*")) {
                const qsizetype end = mSql.indexOf(u"*/", mPos + 2);
                mPos = end < 0 ? mSql.size() : end + 2;
            } else {
                return;
            }
        }
    }

    QStringView mSql;
    qsizetype mPos = 0;
};

bool isEnd(const QString &word)
{
    return word.isEmpty() || word == QLatin1String(";");
}

bool isOneOf(const QString &word, std::initializer_list<const char *> words)
{
    for (const char *candidate : words)
        if (word == QLatin1String(candidate))
            return true;
    return false;
}

} // namespace

TransactionControl ClassifyTransactionControl(QStringView sql)
{
    WordReader reader(sql);
    const QString first = reader.next();
    const QString second = reader.next();
    if (first == QLatin1String("BEGIN")) {
        // A PL/SQL block begins with BEGIN too, followed by its statements.
        return isEnd(second)
                       || isOneOf(second, {"WORK", "TRANSACTION", "DEFERRED", "IMMEDIATE",
                                           "EXCLUSIVE", "ISOLATION", "READ", "NOT", "DEFERRABLE"})
                   ? TransactionControl::Begin
                   : TransactionControl::None;
    }
    if (first == QLatin1String("START"))
        return second == QLatin1String("TRANSACTION") ? TransactionControl::Begin
                                                      : TransactionControl::None;
    if (first == QLatin1String("COMMIT"))
        return TransactionControl::Commit;
    if (first == QLatin1String("END"))
        return isEnd(second) || isOneOf(second, {"WORK", "TRANSACTION"})
                   ? TransactionControl::Commit
                   : TransactionControl::None;
    if (first == QLatin1String("ROLLBACK")) {
        const QString to = isOneOf(second, {"WORK", "TRANSACTION"}) ? reader.next() : second;
        return to == QLatin1String("TO") ? TransactionControl::Savepoint
                                         : TransactionControl::Rollback;
    }
    if (first == QLatin1String("ABORT"))
        return TransactionControl::Rollback;
    if (first == QLatin1String("SAVEPOINT") || first == QLatin1String("RELEASE"))
        return TransactionControl::Savepoint;
    return TransactionControl::None;
}

} // namespace Engine
