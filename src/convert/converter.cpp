#include "convert/converter.h"

#include "settings/settingsstore.h"

#include <QStringList>

namespace SQLEdit {
namespace {

// Where a scan of SQL stands: in code, or inside something that runs on over
// line ends (a quoted literal, a quoted name, a block comment).
enum class SqlContext { Code, Literal, QuotedName, BlockComment };

// Whether the line ends inside a "--" comment, the line starting in context;
// context becomes where the next line starts. A doubled quote inside a literal
// or a name leaves it and enters it again.
bool endsInLineComment(QStringView line, SqlContext &context)
{
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        const QChar next = i + 1 < line.size() ? line[i + 1] : QChar();
        switch (context) {
        case SqlContext::Code:
            if (c == QLatin1Char('-') && next == QLatin1Char('-'))
                return true;
            if (c == QLatin1Char('\''))
                context = SqlContext::Literal;
            else if (c == QLatin1Char('"'))
                context = SqlContext::QuotedName;
            else if (c == QLatin1Char('/') && next == QLatin1Char('*')) {
                context = SqlContext::BlockComment;
                ++i; // the '*' cannot also close it
            }
            break;
        case SqlContext::Literal:
            if (c == QLatin1Char('\''))
                context = SqlContext::Code;
            break;
        case SqlContext::QuotedName:
            if (c == QLatin1Char('"'))
                context = SqlContext::Code;
            break;
        case SqlContext::BlockComment:
            if (c == QLatin1Char('*') && next == QLatin1Char('/')) {
                context = SqlContext::Code;
                ++i; // the '/' cannot also open another
            }
            break;
        }
    }
    return false;
}

} // namespace

ConvertSettings CurrentConvertSettings()
{
    ConvertSettings settings;
    settings.mode = FileIO::GetSettingValue(QStringLiteral("MODE")).value<qint16>();
    settings.variable = FileIO::GetSettingValue(QStringLiteral("HENNAME")).toString();
    settings.joint = FileIO::GetSettingValue(QStringLiteral("JOINT")).toString();
    settings.pause = FileIO::GetSettingValue(QStringLiteral("PAUSE")).value<qint16>();
    settings.format = FileIO::GetSettingValue(QStringLiteral("FORMAT")).value<qint16>();
    settings.become = FileIO::GetSettingValue(QStringLiteral("BECOME")).value<qint16>();
    return settings;
}

QString ConvertSql(const QString &source, const ConvertSettings &settings)
{
    const QString crlf = QStringLiteral("\r\n");
    const bool plsql = settings.mode == 1;
    const bool perLine = settings.become == 1;
    const bool initialise = settings.format != 1;
    const QString &v = settings.variable;
    const QString &j = settings.joint;

    const QChar q = plsql ? QLatin1Char('\'') : QLatin1Char('"');
    const QString assign = plsql ? QStringLiteral(" := ") : QStringLiteral(" = ");
    const QString statementEnd = plsql ? QStringLiteral(";") : QString();

    // Each line's literal opens with lineStart and, except the last one, ends
    // with lineEnd: a whole appending assignment per line, or one continued
    // statement whose pieces are joined with the join operator. PL/SQL needs no
    // continuation mark, since its statements run to the semicolon.
    const QString lineStart
        = perLine ? v + assign + v + QLatin1Char(' ') + j + QLatin1Char(' ') + q : QString(q);
    const QString lineEnd = perLine ? statementEnd
                            : plsql ? QLatin1Char(' ') + j
                                    : QLatin1Char(' ') + j + QStringLiteral(" _");
    // Continued lines line up under the first literal.
    const QString indent = perLine ? QString() : QString((v + assign).size(), QLatin1Char(' '));

    // What replaces a line end of the source: an expression for CR LF joined
    // after the literal, or text inside it. PL/SQL has no named constant for CR
    // LF, so the two characters are built by their codes.
    const bool breakExpression = settings.pause == 0;
    const QString breakCode = plsql ? QStringLiteral("CHR(13) ") + j + QStringLiteral(" CHR(10)")
                                    : QStringLiteral("vbCrLf");
    const QString breakText = settings.pause == 1 ? QStringLiteral(" ") : QString();
    // Lines joined by a space make one line of SQL, in which a "--" comment would
    // run to the end of the whole text: a line that ends in one ends with a line
    // break instead of the space. LF alone ends the comment; Visual Basic writes
    // the CR LF it uses for every line break.
    const bool spaceJoined = settings.pause == 1;
    const QString commentBreakCode = plsql ? QStringLiteral("CHR(10)") : QStringLiteral("vbCrLf");

    QString out;
    bool precedingLine = false;
    if (initialise) {
        out = v + assign + q + q + (perLine ? statementEnd : lineEnd) + crlf;
        precedingLine = true;
    } else if (!perLine) {
        out = v + assign; // the first literal follows on the same line
    }

    const QString doubledQuote(2, q);
    if (!source.contains(crlf)) {
        if (!perLine && precedingLine)
            out += indent;
        out += lineStart + QString(source).replace(q, doubledQuote) + q + statementEnd;
        return out;
    }

    // CR characters are not part of any line. A line end counts as the last one
    // when nothing but CR characters follows it.
    QString text = source;
    text.remove(QLatin1Char('\r'));
    QStringList lines = text.split(QLatin1Char('\n'));
    const bool endsWithLineEnd = lines.constLast().isEmpty();
    if (endsWithLineEnd)
        lines.removeLast();

    out.reserve(out.size() + text.size() + lines.size() * (lineStart.size() + indent.size() + 24));
    SqlContext context = SqlContext::Code;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const bool last = i == lines.size() - 1;
        const bool commentEnds = spaceJoined && endsInLineComment(lines.at(i), context);
        if (!perLine && precedingLine)
            out += indent;
        out += lineStart + QString(lines.at(i)).replace(q, doubledQuote);
        if (last && !endsWithLineEnd)
            out += q;
        else if (breakExpression)
            out += q + QLatin1Char(' ') + j + QLatin1Char(' ') + breakCode;
        else if (commentEnds)
            out += q + QLatin1Char(' ') + j + QLatin1Char(' ') + commentBreakCode;
        else
            out += breakText + q;
        out += (last ? statementEnd : lineEnd) + crlf;
        precedingLine = true;
    }
    return out;
}

} // namespace SQLEdit
