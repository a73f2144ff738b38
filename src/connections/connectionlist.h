#pragma once

#include <QString>
#include <QStringList>

#include <optional>

/// The saved connections of DB.ini: one fixed-width record of 55 characters a
/// line, the user ID in characters 1 to 19, the server name in 20 to 38, the
/// password in 39 to 54 (each left-aligned and filled with spaces) and the
/// start-up flag in 55 ("1" opens the connection at start-up). The first 54
/// characters, compared without regard to letter case, identify a connection.
namespace Connections {

inline constexpr int IdentityLength = 54;
/// What the list shows of a record: the user ID and server name fields.
inline constexpr int VisibleLength = 38;
/// The longest user ID and password a record holds; longer ones are never cut
/// to fit: such a connection is not saved in the file.
inline constexpr int UserIdLength = 15;
inline constexpr int PasswordLength = 16;

/// DB.ini in the configuration folder (Common::ConfigDirectory).
QString ConnectionListPath();

/// The first 54 characters of a record for these values.
QString IdentityText(const QString &userId, const QString &serverName, const QString &password);

/// A whole record: the identity text and the flag's decimal text.
QString
RecordText(const QString &userId, const QString &serverName, const QString &password, int initial);

/// A connection as read back from a record.
struct Entry
{
    QString userId;     ///< characters 1 to 15, trimmed of spaces
    QString serverName; ///< characters 20 to 34, trimmed
    QString password;   ///< characters 39 to 54, trimmed
    QString flag;       ///< character 55, trimmed
    /// The flag as the tick of the start-up box: only "1" ticks it.
    bool isInitial() const { return flag == QLatin1String("1"); }
};

/// The fields of a record; a short or hand-edited line gives what it holds.
Entry ParseRecord(const QString &record);

/// The first record of the file's lines whose flag is "1", if any.
std::optional<Entry> FindInitialRecord(const QStringList &lines);

enum class SortKey { UserId, ServerName };

/// Sorts records ascending by exchange, comparing character codes: by user ID
/// (characters 1 to 30) or by server name then user ID (characters 20 to 34,
/// then 1 to 15). Records with equal keys may change places.
QStringList SortRecords(QStringList records, SortKey key);

/// The text of DB.ini after OK, before the final line end that the file writer
/// adds: every record with its CR LF, in list order. With makeInitial every
/// record's flag becomes "0"; the record of the confirmed connection (its
/// identity compared without regard to letter case) gets the flag of
/// makeInitial. A connection not in the list is added at the end when
/// addToList is set.
QString
ListFileText(const QStringList &records, const QString &identity, bool makeInitial, bool addToList);

/// The records to save when the file may have changed since the dialog read it
/// (another Korvane saved a connection meanwhile): the dialog's records in its
/// order, less those the file no longer holds, each as the file now has it; then
/// the file's records the dialog never saw. Records the dialog deleted stay deleted.
/// Records are matched by identity, without regard to letter case; blank lines of
/// the file are passed over, as the list does when it loads them.
QStringList
MergeRecords(const QStringList &loaded, const QStringList &edited, const QStringList &latest);

/// The records with the password field of every record of that user ID and
/// server name (compared without regard to letter case) filled with spaces, the
/// rest of each record as it was: for a password moved into the keyring.
QStringList
WithoutPassword(const QStringList &records, const QString &userId, const QString &serverName);

/// The main window's caption while connected: the base caption, then
/// "(" user " @ " server ")".
QString
ConnectedCaption(const QString &baseCaption, const QString &userId, const QString &serverName);

} // namespace Connections
