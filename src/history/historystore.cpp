#include "history/historystore.h"

#include "common/common.h"
#include "history/searchquery.h"
#include "history/sqlitehandles.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSet>

#include <algorithm>
#include <utility>

namespace History {

using namespace Sql;

namespace {

// The layout this code writes (CreateSchema below), kept in PRAGMA user_version.
// A file with a higher number comes from a newer program and is left alone.
constexpr int SchemaVersion = 1;

// How long a write waits for another copy of the program to finish its own.
constexpr int BusyTimeoutMs = 2000;

// The part of a text that is indexed and searched: a statement of several
// megabytes is kept whole but not indexed whole.
constexpr qsizetype HeadLength = 4000;

// Old records are dropped at open and then after this many new ones.
constexpr qint64 PruneEvery = 100;

const char *const CreateSchema = R"(
CREATE TABLE IF NOT EXISTS texts(
    id INTEGER PRIMARY KEY,
    hash BLOB NOT NULL UNIQUE,
    body TEXT NOT NULL,
    head TEXT NOT NULL,
    last_run INTEGER NOT NULL);
CREATE INDEX IF NOT EXISTS texts_last_run ON texts(last_run);
CREATE TABLE IF NOT EXISTS runs(
    id INTEGER PRIMARY KEY,
    text_id INTEGER NOT NULL,
    started INTEGER NOT NULL,
    server TEXT,
    user TEXT,
    elapsed_ms INTEGER,
    rows INTEGER,
    outcome TEXT,
    error TEXT,
    draft INTEGER NOT NULL DEFAULT 0);
CREATE INDEX IF NOT EXISTS runs_text_id ON runs(text_id);
CREATE VIRTUAL TABLE IF NOT EXISTS texts_fts
    USING fts5(head, content='texts', content_rowid='id', tokenize='trigram');
CREATE TRIGGER IF NOT EXISTS texts_fts_insert AFTER INSERT ON texts BEGIN
    INSERT INTO texts_fts(rowid, head) VALUES (new.id, new.head);
END;
CREATE TRIGGER IF NOT EXISTS texts_fts_delete AFTER DELETE ON texts BEGIN
    INSERT INTO texts_fts(texts_fts, rowid, head) VALUES ('delete', old.id, old.head);
END;
PRAGMA user_version = 1;
)";

// What a failed call means for the history.
enum class Trouble { Damaged, Locked, TooBig, Unusable };

Trouble troubleOf(int result)
{
    switch (result & 0xff) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return Trouble::Damaged;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return Trouble::Locked;
    case SQLITE_TOOBIG:
        return Trouble::TooBig;
    default:
        return Trouble::Unusable;
    }
}

// The start of a text, not cut inside a surrogate pair.
QString headOf(const QString &text)
{
    if (text.size() <= HeadLength)
        return text;
    qsizetype length = HeadLength;
    if (text.at(length - 1).isHighSurrogate())
        --length;
    return text.left(length);
}

} // namespace

struct Store::Private
{
    Database db;
    // Prepared once: they run with every record. Declared after db, so that they
    // are finalized before it closes.
    Statement findText;
    Statement insertText;
    Statement insertRun;
    Statement setLastRun;
    Statement endRun;

    QString path;
    qint64 keep = DefaultKeep;
    qint64 recordsSincePrune = 0;
    QString problem;
    std::function<void(const QString &)> failureHandler;

    int connect(int *version);
    int createSchema(int version);
    int prepareStatements();
    int prune();
    int addRun(const QString &text,
               const QDateTime &started,
               const QString &server,
               const QString &user,
               bool draft,
               qint64 *runId);
    void close(bool checkpoint = true);
    void stop(int result);
    void fail(int result);
    void pruneWhenDue();
};

// Opens the file and reads its layout version. The file is only read here.
int Store::Private::connect(int *version)
{
    sqlite3 *handle = nullptr;
    int result = sqlite3_open_v2(QFile::encodeName(path).constData(), &handle,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    db.reset(handle);
    if (result != SQLITE_OK)
        return result;
    sqlite3_extended_result_codes(db.get(), 1);
    sqlite3_busy_timeout(db.get(), BusyTimeoutMs);

    Statement userVersion;
    result = userVersion.prepare(db.get(), "PRAGMA user_version");
    if (result == SQLITE_OK && (result = userVersion.step()) == SQLITE_ROW) {
        *version = int(userVersion.integer(0));
        result = SQLITE_OK;
    }
    // SQLite opens a file it may not write for reading only, without an error.
    if (result == SQLITE_OK && sqlite3_db_readonly(db.get(), "main") == 1)
        result = SQLITE_READONLY;
    return result;
}

int Store::Private::createSchema(int version)
{
    // A commit in WAL mode with synchronous=NORMAL costs no wait for the disk, and
    // readers do not block the writer. WAL stays with the file, synchronous is set
    // for each connection.
    // The log is copied into the file after a statement has ended, with the
    // pruning, not by the commit of whichever record fills it.
    int result = execute(db.get(), "PRAGMA journal_mode = WAL");
    if (result == SQLITE_OK)
        result = execute(db.get(), "PRAGMA synchronous = NORMAL");
    if (result == SQLITE_OK)
        result = execute(db.get(), "PRAGMA wal_autocheckpoint = 0");
    if (result != SQLITE_OK || version == SchemaVersion)
        return result;
    Transaction transaction(db.get());
    result = transaction.begin();
    if (result == SQLITE_OK)
        result = execute(db.get(), CreateSchema);
    if (result == SQLITE_OK)
        result = transaction.commit();
    return result;
}

int Store::Private::prepareStatements()
{
    const std::pair<Statement *, const char *> statements[] = {
        {&findText, "SELECT id FROM texts WHERE hash = ?1"},
        {&insertText, "INSERT INTO texts(hash, body, head, last_run) VALUES (?1, ?2, ?3, 0)"},
        {&insertRun, "INSERT INTO runs(text_id, started, server, user, elapsed_ms, outcome, draft)"
                     " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)"},
        {&setLastRun, "UPDATE texts SET last_run = ?1 WHERE id = ?2"},
        {&endRun, "UPDATE runs SET elapsed_ms = ?1, rows = ?2, outcome = ?3, error = ?4"
                  " WHERE id = ?5"},
    };
    for (const auto &[statement, sql] : statements) {
        if (const int result = statement->prepare(db.get(), sql); result != SQLITE_OK)
            return result;
    }
    return SQLITE_OK;
}

// Deletes the oldest records beyond `keep`, and the texts left without one.
int Store::Private::prune()
{
    Statement span;
    int result
        = span.prepare(db.get(), "SELECT (SELECT min(id) FROM runs), (SELECT max(id) FROM runs)");
    if (result != SQLITE_OK || (result = span.step()) != SQLITE_ROW)
        return result == SQLITE_DONE ? SQLITE_OK : result;
    // Ids only grow, so a span of ids no longer than `keep` holds no more records:
    // the common case needs no count. (min and max each in a query of their own
    // read one end of the table; together they would read all of it.)
    if (span.isNull(0) || span.integer(1) - span.integer(0) < keep)
        return SQLITE_OK;
    span.reset();

    Transaction transaction(db.get());
    if ((result = transaction.begin()) != SQLITE_OK)
        return result;
    Statement cut;
    result = cut.prepare(db.get(), "DELETE FROM runs WHERE id <= (SELECT id FROM runs"
                                   " ORDER BY id DESC LIMIT 1 OFFSET ?1) RETURNING text_id");
    if (result != SQLITE_OK)
        return result;
    cut.bind(1, keep);
    QSet<qint64> textIds;
    while ((result = cut.step()) == SQLITE_ROW)
        textIds.insert(cut.integer(0));
    if (result != SQLITE_DONE)
        return result;

    Statement dropText;
    result = dropText.prepare(db.get(), "DELETE FROM texts WHERE id = ?1"
                                        " AND NOT EXISTS (SELECT 1 FROM runs WHERE text_id = ?1)");
    for (const qint64 textId : std::as_const(textIds)) {
        if (result != SQLITE_OK)
            return result;
        dropText.bind(1, textId);
        result = dropText.run();
        dropText.reset();
    }
    return result == SQLITE_OK ? transaction.commit() : result;
}

// Records a run of a text (adding the text when new) in one transaction.
int Store::Private::addRun(const QString &text,
                           const QDateTime &started,
                           const QString &server,
                           const QString &user,
                           bool draft,
                           qint64 *runId)
{
    const QByteArray utf8 = text.toUtf8();
    const QByteArray hash = QCryptographicHash::hash(utf8, QCryptographicHash::Sha1);

    Transaction transaction(db.get());
    int result = transaction.begin();
    if (result != SQLITE_OK)
        return result;

    qint64 textId = 0;
    {
        const ResetAtEnd resetFind(findText);
        findText.bindBlob(1, hash);
        result = findText.step();
        if (result == SQLITE_ROW)
            textId = findText.integer(0);
        else if (result != SQLITE_DONE)
            return result;
    }
    if (textId == 0) {
        const ResetAtEnd resetInsert(insertText);
        insertText.bindBlob(1, hash);
        insertText.bindUtf8(2, utf8);
        insertText.bind(3, headOf(text));
        if ((result = insertText.run()) != SQLITE_OK)
            return result;
        textId = sqlite3_last_insert_rowid(db.get());
    }
    {
        const ResetAtEnd resetInsert(insertRun);
        insertRun.bind(1, textId);
        insertRun.bind(2, started.isValid() ? started.toMSecsSinceEpoch()
                                            : QDateTime::currentMSecsSinceEpoch());
        insertRun.bind(3, server);
        insertRun.bind(4, user);
        if (draft) {
            insertRun.bind(5, qint64(0));
            insertRun.bind(6, QStringLiteral("下書き"));
        } else {
            insertRun.bindNull(5);
            insertRun.bindNull(6);
        }
        insertRun.bind(7, qint64(draft ? 1 : 0));
        if ((result = insertRun.run()) != SQLITE_OK)
            return result;
        *runId = sqlite3_last_insert_rowid(db.get());
    }
    {
        const ResetAtEnd resetUpdate(setLastRun);
        setLastRun.bind(1, *runId);
        setLastRun.bind(2, textId);
        if ((result = setLastRun.run()) != SQLITE_OK)
            return result;
    }
    return transaction.commit();
}

// Closes the file. Without a checkpoint the file is left byte for byte as it
// was, its write-ahead log beside it.
void Store::Private::close(bool checkpoint)
{
    for (Statement *statement : {&findText, &insertText, &insertRun, &setLastRun, &endRun})
        *statement = Statement();
    if (db && !checkpoint)
        sqlite3_db_config(db.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    db.reset();
}

// Gives up the history after a failure: says why in problem, closes the file and
// moves a damaged one aside.
void Store::Private::stop(int result)
{
    const Trouble trouble = troubleOf(result);
    // The database's own message when it is about this failure.
    const QString message = QString::fromUtf8(db && sqlite3_extended_errcode(db.get()) == result
                                                  ? sqlite3_errmsg(db.get())
                                                  : sqlite3_errstr(result));
    close(trouble != Trouble::Damaged);
    switch (trouble) {
    case Trouble::Damaged: {
        const QString moved = Common::MoveAside(path);
        if (moved.isEmpty()) {
            problem = QStringLiteral("履歴ファイルを書き込めません: ") + message;
            break;
        }
        for (const QLatin1String suffix : {QLatin1String("-wal"), QLatin1String("-shm")}) {
            if (QFile::exists(path + suffix))
                QFile::rename(path + suffix, moved + suffix);
        }
        problem = QStringLiteral("履歴ファイルが壊れていたため、%1 に移しました。").arg(moved);
        break;
    }
    case Trouble::Locked:
        problem = QStringLiteral("履歴ファイルがほかのプログラムにロックされています。");
        break;
    case Trouble::TooBig:
    case Trouble::Unusable:
        problem = QStringLiteral("履歴ファイルを書き込めません: ") + message;
        break;
    }
}

// A call after a successful open failed. A text too long for SQLite is only not
// kept; anything else ends the history for this run of the program.
void Store::Private::fail(int result)
{
    if (troubleOf(result) == Trouble::TooBig || !db)
        return;
    stop(result);
    if (failureHandler)
        failureHandler(problem);
}

// Old records go in small batches, after a statement has ended rather than
// before one runs: dropping a batch from the text index costs a few ms.
void Store::Private::pruneWhenDue()
{
    if (recordsSincePrune < PruneEvery)
        return;
    recordsSincePrune = 0;
    // A log that another copy is reading is copied as far as it can be.
    sqlite3_wal_checkpoint_v2(db.get(), nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    if (const int result = prune(); result != SQLITE_OK)
        fail(result);
}

Store::Store()
    : d(std::make_unique<Private>())
{}

Store::~Store() = default;

bool Store::open(const QString &path, qint64 keep)
{
    d->close();
    d->path = path;
    d->keep = std::max<qint64>(keep, 1);
    d->recordsSincePrune = 0;
    d->problem.clear();

    int version = 0;
    int result = d->connect(&version);
    if (result == SQLITE_OK && version > SchemaVersion) {
        d->close(false);
        d->problem = QStringLiteral("新しい版の Korvane で作られた履歴です。");
        return false;
    }
    if (result == SQLITE_OK)
        result = d->createSchema(version);
    if (result == SQLITE_OK)
        result = d->prepareStatements();
    if (result == SQLITE_OK)
        result = d->prune();
    if (result != SQLITE_OK) {
        d->stop(result);
        return false;
    }
    return true;
}

bool Store::isOpen() const
{
    return d->db != nullptr;
}

QString Store::problem() const
{
    return d->problem;
}

void Store::setFailureHandler(std::function<void(const QString &)> handler)
{
    d->failureHandler = std::move(handler);
}

qint64 Store::recordStart(const RunStart &run)
{
    if (!d->db)
        return 0;
    qint64 runId = 0;
    if (const int result = d->addRun(run.text, run.started, run.server, run.user, false, &runId);
        result != SQLITE_OK) {
        d->fail(result);
        return 0;
    }
    ++d->recordsSincePrune;
    return runId;
}

void Store::recordEnd(qint64 id, const RunEnd &end)
{
    if (!d->db || id == 0)
        return;
    Statement &update = d->endRun;
    int result = SQLITE_OK;
    {
        const ResetAtEnd resetUpdate(update);
        update.bind(1, end.elapsedMs);
        if (end.rows < 0)
            update.bindNull(2);
        else
            update.bind(2, end.rows);
        update.bind(3, end.outcome);
        if (end.error.isEmpty())
            update.bindNull(4);
        else
            update.bind(4, end.error);
        update.bind(5, id);
        result = update.run();
    }
    if (result != SQLITE_OK)
        d->fail(result);
    else
        d->pruneWhenDue();
}

void Store::addDraft(const QString &text, const QDateTime &when)
{
    if (!d->db || text.trimmed().isEmpty())
        return;
    qint64 runId = 0;
    if (const int result = d->addRun(text, when, QString(), QString(), true, &runId);
        result != SQLITE_OK) {
        d->fail(result);
        return;
    }
    ++d->recordsSincePrune;
    d->pruneWhenDue();
}

QList<Entry> Store::search(const QString &words, int limit) const
{
    if (!d->db)
        return {};
    const SearchQuery search = BuildSearchQuery(words);
    QList<Entry> entries;
    int result = SQLITE_OK;
    {
        Statement query;
        result = query.prepare(d->db.get(), search.sql.toUtf8());
        if (result == SQLITE_OK) {
            int parameter = 0;
            for (const QString &value : search.parameters)
                query.bind(++parameter, value);
            query.bind(++parameter, qint64(limit));
            while ((result = query.step()) == SQLITE_ROW) {
                Entry entry;
                entry.textId = query.integer(0);
                entry.head = query.text(1);
                entry.lastRun = QDateTime::fromMSecsSinceEpoch(query.integer(2));
                entry.server = query.text(3);
                entry.user = query.text(4);
                entry.outcome = query.text(5);
                entry.error = query.text(6);
                entry.rows = query.integerOr(7, -1);
                entry.elapsedMs = query.integerOr(8, -1);
                entry.runs = query.integer(9);
                entries << entry;
            }
        }
    }
    if (result != SQLITE_DONE) {
        d->fail(result);
        return {};
    }
    return entries;
}

QString Store::text(qint64 textId) const
{
    if (!d->db)
        return {};
    QString body;
    int result = SQLITE_OK;
    {
        Statement query;
        result = query.prepare(d->db.get(), "SELECT body FROM texts WHERE id = ?1");
        if (result == SQLITE_OK) {
            query.bind(1, textId);
            result = query.step();
            if (result == SQLITE_ROW) {
                body = query.text(0);
                result = SQLITE_DONE;
            }
        }
    }
    if (result != SQLITE_DONE)
        d->fail(result);
    return body;
}

bool Store::remove(qint64 textId)
{
    if (!d->db)
        return false;
    int removed = 0;
    int result = SQLITE_OK;
    {
        Transaction transaction(d->db.get());
        result = transaction.begin();
        Statement dropRuns;
        Statement dropText;
        if (result == SQLITE_OK)
            result = dropRuns.prepare(d->db.get(), "DELETE FROM runs WHERE text_id = ?1");
        if (result == SQLITE_OK)
            result = dropText.prepare(d->db.get(), "DELETE FROM texts WHERE id = ?1");
        if (result == SQLITE_OK) {
            dropRuns.bind(1, textId);
            result = dropRuns.run();
        }
        if (result == SQLITE_OK) {
            dropText.bind(1, textId);
            result = dropText.run();
            removed = sqlite3_changes(d->db.get());
        }
        if (result == SQLITE_OK)
            result = transaction.commit();
    }
    if (result != SQLITE_OK) {
        d->fail(result);
        return false;
    }
    return removed > 0;
}

} // namespace History
