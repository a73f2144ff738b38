#include "settings/settingsstore.h"

#include "common/appdir.h"
#include "common/errors.h"
#include "settings/ini.h"

#include <QFileInfo>

#include <array>
#include <limits>

namespace FileIO {
namespace {

enum class Kind { Number, Text };

struct SettingKey
{
    const char *section;
    const char *name;
    Kind kind;
    const char *defaultText;
};

// Every key in file order, which is also the order of every load and save.
constexpr std::array<SettingKey, 20> Keys = {{
    {"EDIT", "MODE", Kind::Number, "0"},         {"EDIT", "HENNAME", Kind::Text, "strSQL"},
    {"EDIT", "JOINT", Kind::Text, "&"},          {"EDIT", "PAUSE", Kind::Number, "0"},
    {"EDIT", "FORMAT", Kind::Number, "0"},       {"EDIT", "BECOME", Kind::Number, "0"},
    {"DATAEXP", "FIELD", Kind::Number, "0"},     {"DATAEXP", "FIELDMOJI", Kind::Text, ""},
    {"DATAEXP", "DATAPAUSE", Kind::Number, "0"}, {"DATAEXP", "DATAPAUSEF", Kind::Text, "\""},
    {"DATAEXP", "DATAPAUSEB", Kind::Text, "\""}, {"DATAEXP", "SPACE", Kind::Number, "3"},
    {"OTHER", "DYNOPTION1", Kind::Number, "0"},  {"OTHER", "DYNOPTION2", Kind::Number, "0"},
    {"OTHER", "DYNOPTION3", Kind::Number, "0"},  {"OTHER", "DYNOPTION4", Kind::Number, "0"},
    {"OTHER", "DYNOPTION5", Kind::Number, "0"},  {"OTHER", "DYNOPTION6", Kind::Number, "0"},
    {"OTHER", "DYNOPTION7", Kind::Number, "0"},  {"OTHER", "DYNOPTION8", Kind::Number, "0"},
}};

// The profile read fills a buffer of this many blanks.
constexpr int BufferSize = 256;

const QString ErrorSource = QStringLiteral("FileIO");

QVariant emptyValue(const SettingKey &key)
{
    return key.kind == Kind::Number ? QVariant::fromValue(qint16(0)) : QVariant(QString());
}

std::array<QVariant, Keys.size()> makeEmptyStore()
{
    std::array<QVariant, Keys.size()> values;
    for (size_t i = 0; i < Keys.size(); ++i)
        values[i] = emptyValue(Keys[i]);
    return values;
}

std::array<QVariant, Keys.size()> &store()
{
    static std::array<QVariant, Keys.size()> values = makeEmptyStore();
    return values;
}

// The one instance behind every file access of the store. Each routine sets the
// properties it needs; the others keep what the previous call left.
ini &SettingsIni()
{
    static ini instance;
    return instance;
}

// Index of the key in Keys, or -1. Names match exactly.
int keyIndex(const QString &name)
{
    for (size_t i = 0; i < Keys.size(); ++i) {
        if (name == QLatin1String(Keys[i].name))
            return int(i);
    }
    return -1;
}

qint16 toInt16(qint64 number)
{
    if (number < std::numeric_limits<qint16>::min() || number > std::numeric_limits<qint16>::max())
        throw Common::RuntimeError(Common::ErrOverflow, QStringLiteral("Overflow"), ErrorSource);
    return qint16(number);
}

// Decimal text with an optional sign, blanks around it allowed.
qint16 parseInt16(const QString &text)
{
    const QString digits = text.trimmed();
    const qsizetype start
        = digits.startsWith(QLatin1Char('-')) || digits.startsWith(QLatin1Char('+')) ? 1 : 0;
    bool valid = digits.size() > start;
    for (qsizetype i = start; valid && i < digits.size(); ++i)
        valid = digits.at(i) >= QLatin1Char('0') && digits.at(i) <= QLatin1Char('9');
    if (!valid)
        throw Common::RuntimeError(Common::ErrTypeMismatch, QStringLiteral("型が一致しません。"),
                                   ErrorSource);
    bool fits = false;
    const qint64 number = digits.toLongLong(&fits);
    // Digits beyond the 64-bit range are out of range all the same.
    return toInt16(fits ? number : std::numeric_limits<qint64>::max());
}

void prepareIni(const SettingKey &key, const QString &path)
{
    ini &file = SettingsIni();
    file.SetSection(QLatin1String(key.section));
    file.SetFileName(path);
    file.SetKeyName(QLatin1String(key.name));
}

template<typename Step>
void ignoringErrors(Step step)
{
    try {
        step();
    } catch (...) {
    }
}

} // namespace

QString SettingsFilePath()
{
    return Common::ConfigFilePath(QStringLiteral("CONFIG.ini"));
}

void InitSettings()
{
    QString path;
    ignoringErrors([&] { path = SettingsFilePath(); });
    if (!QFileInfo::exists(path)) {
        for (const SettingKey &key : Keys) {
            ignoringErrors([&] {
                WriteIniSetting(QLatin1String(key.name), QLatin1String(key.defaultText), path);
            });
        }
    }
    ignoringErrors([&] { LoadSettings(path); });
}

void LoadSettings(const QString &path)
{
    try {
        for (const SettingKey &key : Keys) {
            const QString name = QLatin1String(key.name);
            const QVariant value = ReadIniSetting(name, path);
            if (key.kind == Kind::Number) {
                SetSettingValue(name, QString::number(value.value<qint16>()));
            } else {
                QString text = value.toString();
                text.chop(1); // the profile buffer's NUL terminator
                SetSettingValue(name, text);
            }
        }
    } catch (const Common::RuntimeError &) {
        // Keys read so far keep their new values; the rest keep the old ones.
    }
}

bool SaveSettings(const QString &path)
{
    bool saved = true;
    for (const SettingKey &key : Keys) {
        const QString name = QLatin1String(key.name);
        saved = WriteIniSetting(name, GetSettingValue(name).toString(), path) && saved;
    }
    return saved;
}

QVariant GetSettingValue(const QString &key)
{
    const int index = keyIndex(key);
    return index < 0 ? QVariant() : store()[index];
}

void SetSettingValue(const QString &key, const QString &text)
{
    const int index = keyIndex(key);
    if (index < 0)
        return;
    if (Keys[index].kind == Kind::Number)
        store()[index] = QVariant::fromValue(parseInt16(text));
    else
        store()[index] = text;
}

QVariant ReadIniSetting(const QString &key, const QString &path)
{
    const int index = keyIndex(key);
    if (index < 0)
        return QVariant();
    const SettingKey &entry = Keys[index];
    prepareIni(entry, path);
    ini &file = SettingsIni();
    if (entry.kind == Kind::Number) {
        file.SetDefault(QVariant::fromValue(parseInt16(QLatin1String(entry.defaultText))));
        return QVariant::fromValue(toInt16(file.GetPrivateInifileInt()));
    }
    file.SetDefault(QString(QLatin1String(entry.defaultText)));
    file.SetValue(QString(BufferSize, QLatin1Char(' ')));
    file.SetSize(BufferSize);
    return file.GetPrivateInifileString();
}

bool WriteIniSetting(const QString &key, const QString &text, const QString &path)
{
    const int index = keyIndex(key);
    if (index < 0)
        return true;
    prepareIni(Keys[index], path);
    SettingsIni().SetValue(text);
    return SettingsIni().WritePrivateInifileString() != 0;
}

QVariant DefaultSettingValue(const QString &key)
{
    const int index = keyIndex(key);
    if (index < 0)
        return QVariant();
    const QString text = QLatin1String(Keys[index].defaultText);
    if (Keys[index].kind == Kind::Number)
        return QVariant::fromValue(parseInt16(text));
    return text;
}

void ResetSettings()
{
    store() = makeEmptyStore();
}

} // namespace FileIO
