#pragma once

#include <QString>
#include <QVariant>

/// The user's preferences: held in memory for the whole run and kept in
/// CONFIG.ini in the configuration folder (Common::ConfigDirectory). Every setting is named by its
/// INI key (MODE, HENNAME, JOINT, PAUSE, FORMAT, BECOME, FIELD, FIELDMOJI, DATAPAUSE, DATAPAUSEF,
/// DATAPAUSEB, SPACE, DYNOPTION1 to DYNOPTION8).
namespace FileIO {

/// CONFIG.ini in the configuration folder; empty when there is none.
QString SettingsFilePath();

/// Makes sure CONFIG.ini exists (writing the defaults when it does not), then loads it.
/// Never raises and reports nothing.
void InitSettings();

/// Loads every key from the file at path, in file order. The first error (a
/// number outside the 16-bit range) silently ends the load: that key and the
/// later ones keep what they held.
void LoadSettings(const QString &path);

/// Writes every key to the file at path, in file order; other sections and keys
/// of the file are kept. Raises nothing; returns false when any key could not be
/// written, so that the caller can tell the user the file was not saved.
bool SaveSettings(const QString &path);

/// The value in memory: QString for a text key, qint16 for a number key, an
/// invalid QVariant for any other name. Names are case-sensitive.
QVariant GetSettingValue(const QString &key);

/// Replaces the value in memory (the file is not touched). Number keys take
/// decimal text: Common::RuntimeError ErrTypeMismatch when it is not a number,
/// ErrOverflow when it does not fit in 16 bits; the old value then stays.
/// Unknown names are ignored.
void SetSettingValue(const QString &key, const QString &text);

/// Reads one key from the file at path: qint16 for a number key (ErrOverflow
/// when the file's number does not fit), for a text key the profile text still
/// ending with its NUL terminator. Invalid QVariant for an unknown name.
QVariant ReadIniSetting(const QString &key, const QString &path);

/// Writes one key's text to the file at path; false when the file could not be
/// written (an unknown name writes nothing and gives true).
bool WriteIniSetting(const QString &key, const QString &text, const QString &path);

/// The value a key takes when the file lacks it (the value first start writes):
/// qint16 for a number key, QString for a text key, invalid for any other name.
QVariant DefaultSettingValue(const QString &key);

/// Puts every value back to its state before the first load (0 and empty).
/// For tests, which need a fresh store per case.
void ResetSettings();

} // namespace FileIO
