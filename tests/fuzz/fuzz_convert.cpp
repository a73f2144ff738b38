// The SQL-to-code converter, on any text and any settings. The input is the SQL,
// with the settings taken from its end. Properties:
// - running the code (by the small evaluator below, for PL/SQL and Visual Basic
//   alike) builds the source text, each line end replaced by the PAUSE choice,
//   whenever the variable name and the join operator leave the code readable
//   (with a space, the line breaks that end comments read as that space);
// - with any settings, the code holds every line of the source, quotes doubled.

#include "fuzzinput.h"

#include "common/textcodec.h"
#include "convert/converter.h"

#include <QStringList>

#include <optional>

using SQLEdit::ConvertSettings;

namespace {

/// Runs the assignments of the generated code and gives the variable's final
/// text, or nothing when the code is not made of "v := expression;" (PL/SQL) or
/// "v = expression" lines (Visual Basic), where an expression joins literals,
/// CHR(n), vbCrLf and the variable itself with the join operator.
class Evaluator
{
public:
    Evaluator(const QString &code, const ConvertSettings &settings)
        : mCode(code)
        , mVariable(settings.variable)
        , mJoint(settings.joint)
        , mPlsql(settings.mode == 1)
        , mQuote(mPlsql ? QLatin1Char('\'') : QLatin1Char('"'))
    {}

    std::optional<QString> run()
    {
        QString value; // an unassigned variable is empty (NULL joins as nothing)
        skipLines();
        while (mAt < mCode.size()) {
            if (!take(mVariable))
                return std::nullopt;
            skipBlanks();
            if (!take(mPlsql ? QStringLiteral(":=") : QStringLiteral("=")))
                return std::nullopt;
            QString result;
            do {
                skipBlanks();
                const std::optional<QString> term = readTerm(value);
                if (!term)
                    return std::nullopt;
                result += *term;
                skipBlanks();
            } while (take(mJoint));
            if (mPlsql ? !take(QStringLiteral(";"))
                       : !(take(QStringLiteral("\r\n")) || mAt == mCode.size())) {
                return std::nullopt;
            }
            value = result;
            skipLines();
        }
        return value;
    }

private:
    bool take(const QString &token)
    {
        if (!QStringView(mCode).mid(mAt).startsWith(token))
            return false;
        mAt += token.size();
        return true;
    }

    // Blanks inside a statement: PL/SQL runs on over line breaks, Visual Basic
    // over " _" and a line break.
    void skipBlanks()
    {
        for (;;) {
            if (take(QStringLiteral(" ")) || take(QStringLiteral("\t"))
                || (mPlsql && (take(QStringLiteral("\r")) || take(QStringLiteral("\n"))))
                || (!mPlsql && take(QStringLiteral("_\r\n")))) {
                continue;
            }
            return;
        }
    }

    void skipLines()
    {
        while (take(QStringLiteral(" ")) || take(QStringLiteral("\r"))
               || take(QStringLiteral("\n")))
            ;
    }

    std::optional<QString> readTerm(const QString &value)
    {
        if (take(QString(mQuote))) {
            QString literal;
            for (;;) {
                if (mAt >= mCode.size())
                    return std::nullopt;
                const QChar c = mCode.at(mAt++);
                if (c != mQuote) {
                    literal += c;
                } else if (take(QString(mQuote))) {
                    literal += mQuote;
                } else {
                    return literal;
                }
            }
        }
        if (mPlsql && take(QStringLiteral("CHR("))) {
            const qsizetype close = mCode.indexOf(QLatin1Char(')'), mAt);
            bool ok = false;
            const int code = close < 0 ? 0 : mCode.mid(mAt, close - mAt).toInt(&ok);
            if (!ok || code < 0 || code > 127)
                return std::nullopt;
            mAt = close + 1;
            return QString(QChar(code));
        }
        if (!mPlsql && take(QStringLiteral("vbCrLf")))
            return QStringLiteral("\r\n");
        if (take(mVariable))
            return value;
        return std::nullopt;
    }

    const QString mCode;
    const QString mVariable;
    const QString mJoint;
    const bool mPlsql;
    const QChar mQuote;
    qsizetype mAt = 0;
};

// Whether the evaluator can tell the variable and the join operator from the rest
// of the code: a variable of letters, digits and '_' that is no other term, and
// an operator without blanks, quotes or ';' (as "&" and "||" are).
bool isReadable(const ConvertSettings &settings)
{
    const QString &v = settings.variable;
    const QString &j = settings.joint;
    if (v.isEmpty() || j.isEmpty() || v.startsWith(QLatin1String("vbCrLf"))
        || v.startsWith(QLatin1String("CHR(")))
        return false;
    for (const QChar c : v) {
        if (!(c.unicode() < 128 && (c.isLetterOrNumber() || c == QLatin1Char('_'))))
            return false;
    }
    for (const QChar c : j) {
        if (c.isSpace() || c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char(';')
            || c == QLatin1Char('_'))
            return false;
    }
    // A join operator that begins like a term or like the end of a statement.
    return !j.startsWith(v) && !v.startsWith(j) && !j.startsWith(QLatin1String("CHR("))
           && !j.startsWith(QLatin1String("vbCrLf")) && !j.startsWith(QLatin1Char(':'))
           && !j.startsWith(QLatin1Char('='));
}

// What the code is to build: the source, or with a CR LF pair in it, its lines
// (CR characters dropped, LF ending a line) each followed by the PAUSE text but the
// last one when the source does not end with a line end.
QString expectedText(QString source, const ConvertSettings &settings)
{
    if (!source.contains(QStringLiteral("\r\n")))
        return source;
    const QString pause = settings.pause == 0   ? QStringLiteral("\r\n")
                          : settings.pause == 1 ? QStringLiteral(" ")
                                                : QString();
    return source.remove(QLatin1Char('\r')).replace(QLatin1Char('\n'), pause);
}

qint16 setting(quint8 byte)
{
    // Mostly the values that mean something, sometimes any 16-bit number.
    return byte < 0xf0 ? qint16(byte % 3) : qint16(byte * 257 - 32768);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const quint8 choice = input.ConsumeIntegral<quint8>();
    ConvertSettings settings;
    settings.mode = setting(input.ConsumeIntegral<quint8>());
    settings.pause = setting(input.ConsumeIntegral<quint8>());
    settings.format = setting(input.ConsumeIntegral<quint8>());
    settings.become = setting(input.ConsumeIntegral<quint8>());
    if (choice & 1)
        settings.variable = Fuzz::TailText(input, choice & 2, 24);
    if (choice & 4)
        settings.joint = Fuzz::TailText(input, choice & 8, 8);
    else if (choice & 16)
        settings.joint = QStringLiteral("||");
    const QByteArray bytes = QByteArray::fromStdString(input.ConsumeRemainingBytesAsString());
    const QString source = Common::DecodeText(bytes);

    const QString code = SQLEdit::ConvertSql(source, settings);
    const QChar quote = settings.mode == 1 ? QLatin1Char('\'') : QLatin1Char('"');
    QString quoted = source;
    quoted.replace(quote, QString(2, quote));
    const QStringList lines = quoted.contains(QStringLiteral("\r\n"))
                                  ? quoted.remove(QLatin1Char('\r')).split(QLatin1Char('\n'))
                                  : QStringList{quoted};
    for (const QString &line : lines.mid(0, 50))
        FUZZ_CHECK(code.contains(line), "the code holds every line of the source, quotes doubled");

    if (isReadable(settings)) {
        const std::optional<QString> built = Evaluator(code, settings).run();
        FUZZ_CHECK(built.has_value(), "the code is made of assignments the evaluator reads");
        QString text = *built;
        // Joined by spaces, a line that ends in a comment ends with a line break
        // instead: LF in PL/SQL, CR LF in Visual Basic. No other line break is left.
        if (settings.pause == 1 && source.contains(QStringLiteral("\r\n")))
            text.replace(settings.mode == 1 ? QStringLiteral("\n") : QStringLiteral("\r\n"),
                         QStringLiteral(" "));
        FUZZ_CHECK(text == expectedText(source, settings), "the code builds the source");
    }
    return 0;
}
