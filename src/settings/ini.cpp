#include "settings/ini.h"

#include "common/common.h"
#include "common/errors.h"
#include "common/textcodec.h"
#include "settings/privateprofile.h"

#include <cmath>
#include <limits>

namespace {

const QString ErrorSource = QStringLiteral("ini");

// Converts the default as the integer read needs it: no default is 0, numbers
// and numeric text are rounded to the nearest integer.
qint32 defaultToInt32(const QVariant &value)
{
    if (!value.isValid())
        return 0;
    bool ok = false;
    double number = 0;
    if (value.typeId() == QMetaType::QString)
        number = value.toString().trimmed().toDouble(&ok);
    else if (value.canConvert<double>())
        number = value.toDouble(&ok);
    if (!ok || !std::isfinite(number))
        throw Common::RuntimeError(Common::ErrTypeMismatch, QStringLiteral("型が一致しません。"),
                                   ErrorSource);
    number = std::nearbyint(number);
    if (number < std::numeric_limits<qint32>::min() || number > std::numeric_limits<qint32>::max())
        throw Common::RuntimeError(Common::ErrOverflow, QStringLiteral("Overflow"), ErrorSource);
    return qint32(number);
}

// The part of buffer that follows its first `bytes` bytes of UTF-8. A character
// that those bytes cover only partly goes with them.
QString afterBytes(const QString &buffer, qsizetype bytes)
{
    qsizetype index = 0;
    qsizetype covered = 0;
    while (index < buffer.size() && covered < bytes) {
        const bool pair = buffer.at(index).isHighSurrogate() && index + 1 < buffer.size()
                          && buffer.at(index + 1).isLowSurrogate();
        const qsizetype length = pair ? 2 : 1;
        covered += Common::EncodeText(buffer.mid(index, length)).size();
        index += length;
    }
    return buffer.mid(index);
}

} // namespace

qint32 ini::GetPrivateInifileInt() const
{
    const qint32 defaultValue = defaultToInt32(mDefault);
    return PrivateProfile::readInt(mFileName, mSection, mKeyName, defaultValue);
}

QString ini::GetPrivateInifileString()
{
    const QString text = PrivateProfile::readString(mFileName, mSection, mKeyName)
                             .value_or(Common::TrimSpaces(mDefault.toString()));
    // A size of 0 or less leaves no room even for the terminator: nothing is copied.
    QString copied;
    if (mSize > 0)
        copied = Common::TruncateToBytes(text, mSize - 1) + QChar(0);
    // The rest of the buffer is what the value held there; a value shorter than
    // the size simply has no rest.
    const QString rest = afterBytes(mValue, Common::EncodeText(copied).size());
    mValue = Common::TrimSpaces(copied + rest);
    return mValue;
}

qint32 ini::WritePrivateInifileString() const
{
    return PrivateProfile::writeString(mFileName, mSection, mKeyName, mValue) ? 1 : 0;
}
