#pragma once

#include <QString>
#include <QStringList>

#include <optional>

/// The editor's journal: what is needed to put the editor back as it was after
/// the program ended without closing (a kill, a crash, a power cut).
namespace Journal {

/// One state of the editor and of the work around it.
struct Snapshot
{
    QString text; ///< the editor's text, lines separated by '\n', exactly as it holds it
    qint32 caret = 0;
    qint32 anchor = 0; ///< the other end of the selection; the caret when none

    QString sourcePath;         ///< the file last opened or saved; empty when none
    QString sourceEncoding;     ///< "UTF-8" or "Shift_JIS"
    bool sourceChanged = false; ///< edited since it was opened or saved
    qint64 sourceSize = -1;     ///< the file's size and time when opened or saved,
    qint64 sourceModified = -1; ///< to tell later whether it changed on disk (ms)

    bool workPending = false;      ///< a transaction held uncommitted work
    QStringList pendingStatements; ///< the statements that ran in it
    QString server;                ///< the connection it was pending on
    QString user;

    friend bool operator==(const Snapshot &, const Snapshot &) = default;
};

/// Why a journal file could not be read.
enum class ReadProblem { None, Missing, Damaged, Newer };

struct ReadResult
{
    std::optional<Snapshot> snapshot;
    ReadProblem problem = ReadProblem::None;
};

/// The bytes of a journal file: a header with the format's version, the
/// snapshot, and a checksum that tells a torn or damaged file.
QByteArray Encode(const Snapshot &snapshot);
ReadResult Decode(const QByteArray &bytes);

/// Writes the snapshot to path in one step: the old file stays whole until the
/// new one is complete and on the disk. On failure returns false with the
/// reason in *problem.
bool WriteFile(const QString &path, const Snapshot &snapshot, QString *problem);
ReadResult ReadFile(const QString &path);

} // namespace Journal
