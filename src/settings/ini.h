#pragma once

#include <QString>
#include <QVariant>

/// One INI key behind settable properties: the caller fills in section, key
/// name, default, value, buffer size and file name, then calls one of the three
/// profile operations. The object keeps whatever a call leaves in it, so one
/// instance can serve a series of reads and writes.
class ini
{
public:
    QString GetSection() const { return mSection; }
    void SetSection(const QString &strSection) { mSection = strSection; }

    QString GetKeyName() const { return mKeyName; }
    void SetKeyName(const QString &strKeyName) { mKeyName = strKeyName; }

    QVariant GetDefault() const { return mDefault; }
    void SetDefault(const QVariant &varDefault) { mDefault = varDefault; }

    QString GetValue() const { return mValue; }
    void SetValue(const QString &strValue) { mValue = strValue; }

    qint32 GetSize() const { return mSize; }
    void SetSize(qint32 lngSize) { mSize = lngSize; }

    QString GetFileName() const { return mFileName; }
    void SetFileName(const QString &strFileName) { mFileName = strFileName; }

    /// The key's number, or the default when the file, section or key is
    /// missing or the value is empty. Raises Common::RuntimeError
    /// (ErrTypeMismatch) when the default is not a number, ErrOverflow when it
    /// does not fit in 32 bits.
    qint32 GetPrivateInifileInt() const;

    /// Reads the key's text (or the default text) into the value, used as a
    /// buffer of size bytes: the text, cut to size - 1 bytes of UTF-8 without
    /// splitting a character, then a NUL character, then the rest of the previous
    /// value; the whole trimmed of spaces. Returns the new value, NUL included.
    QString GetPrivateInifileString();

    /// Writes the value under the key; nonzero on success. A failure leaves the
    /// file as it was and raises nothing.
    qint32 WritePrivateInifileString() const;

private:
    QString mSection;
    QString mKeyName;
    QVariant mDefault;
    QString mValue;
    qint32 mSize = 0;
    QString mFileName;
};
