#include "engine/errors.h"

namespace Engine {

QString LayerSource()
{
    return QStringLiteral("Korvane");
}

QString CancelledDescription()
{
    return QStringLiteral("ユーザーの要求により実行を中止しました。");
}

static int SqlStateNumber(const QString &state)
{
    if (state.size() != 5)
        return 0;
    bool ok = false;
    const int number = state.toUpper().toInt(&ok, 36);
    return ok ? number : 0;
}

int ErrorNumberFor(const QString &driverName, const QSqlError &error)
{
    const QString code = error.nativeErrorCode().trimmed();
    int number = 0;
    if (driverName == QLatin1String("QPSQL")) {
        number = SqlStateNumber(code);
    } else {
        bool ok = false;
        number = code.toInt(&ok);
        if (!ok)
            number = 0;
    }
    return number != 0 ? number : int(ErrDatabase);
}

Common::ErrorInfo ErrorFrom(const QString &driverName, const QSqlError &error)
{
    QString description = error.databaseText().trimmed();
    if (description.isEmpty())
        description = error.driverText().trimmed();
    if (description.isEmpty())
        description
            = QStringLiteral("データベースがエラーを返しましたが、メッセージがありません。");
    return Common::ErrorInfo{ErrorNumberFor(driverName, error), description, driverName};
}

void Raise(int number, const QString &description, const QString &source)
{
    throw Common::RuntimeError(number, description, source);
}

void Raise(const QString &driverName, const QSqlError &error)
{
    throw Common::RuntimeError(ErrorFrom(driverName, error));
}

} // namespace Engine
