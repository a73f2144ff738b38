#include "editor/sqltokenizer.h"

#include <QTest>

using Editor::SqlTokenizer;
using Editor::Token;
using Editor::TokenKind;

namespace {

// Tokens written one per item as a letter for the kind and the token's text:
// K keyword, W word, Q quoted name, S string, D dollar string, N number,
// P parameter, L line comment, B block comment, U punctuation, O operator;
// spaces are left out. A trailing '!' marks an unterminated token.
QStringList Describe(const QString &text, int state = 0, int *endState = nullptr)
{
    static const char Letters[] = "_WKQSDNPLBUO";
    QStringList tokens;
    SqlTokenizer tokenizer(text, state);
    Token token;
    qsizetype expected = 0;
    while (tokenizer.next(token)) {
        if (token.start != expected || token.length <= 0)
            return {QStringLiteral("gap or empty token at %1").arg(token.start)};
        expected = token.start + token.length;
        if (token.kind == TokenKind::Space)
            continue;
        tokens << QChar(Letters[int(token.kind)]) + text.mid(token.start, token.length)
                      + (token.unterminated ? QStringLiteral("!") : QString());
    }
    if (expected != text.size())
        tokens << QStringLiteral("text left over");
    if (endState)
        *endState = tokenizer.state();
    return tokens;
}

} // namespace

class tst_Tokenizer : public QObject
{
    Q_OBJECT

private slots:
    void tokens_data();
    void tokens();
    void linesCarryState_data();
    void linesCarryState();
};

void tst_Tokenizer::tokens_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("query") << "select e.ename from emp e where e.sal>=1000"
                           << QStringList{"Kselect", "We", "U.", "Wename", "Kfrom", "Wemp", "We",
                                          "Kwhere",  "We", "U.", "Wsal",   "O>=",   "N1000"};
    QTest::newRow("keywords in any case")
        << "SeLeCt Count(*)" << QStringList{"KSeLeCt", "KCount", "U(", "O*", "U)"};
    QTest::newRow("doubled quotes stay in the string")
        << "'it''s' || 'x'" << QStringList{"S'it''s'", "O||", "S'x'"};
    QTest::newRow("backslash escapes only after E")
        << "E'a\\'b' 'c\\' d" << QStringList{"SE'a\\'b'", "S'c\\'", "Wd"};
    QTest::newRow("quoted names") << "\"Order \"\"Lines\"\"\".\"数量\" `a b`"
                                  << QStringList{"Q\"Order \"\"Lines\"\"\"", "U.", "Q\"数量\"",
                                                 "Q`a b`"};
    QTest::newRow("numbers") << "1 1.5 .5 1e-3 2E+10 0x1F 12abc 3."
                             << QStringList{"N1",     "N1.5",  "N.5",    "N1e-3",
                                            "N2E+10", "N0x1F", "W12abc", "N3."};
    QTest::newRow("minus is not part of a number") << "a-1" << QStringList{"Wa", "O-", "N1"};
    QTest::newRow("comments") << "a -- note\r\nb /* x\n y */ c"
                              << QStringList{"Wa", "L-- note", "Wb", "B/* x\n y */", "Wc"};
    QTest::newRow("comment marks inside strings are text")
        << "'--' '/*' -- it's" << QStringList{"S'--'", "S'/*'", "L-- it's"};
    QTest::newRow("dollar bodies")
        << "as $$ begin 'x'; end $$ language sql"
        << QStringList{"Kas", "D$$ begin 'x'; end $$", "Klanguage", "Wsql"};
    QTest::newRow("tagged bodies nest other tags")
        << "$f$ a $$ b $f$ $1" << QStringList{"D$f$ a $$ b $f$", "P$1"};
    QTest::newRow("parameters and casts")
        << "? :name :1 x::int a$b#c"
        << QStringList{"P?", "P:name", "O:", "N1", "Wx", "O::", "Kint", "Wa$b#c"};
    QTest::newRow("Japanese names")
        << "select 社員名, 𠮷田 from 社員"
        << QStringList{"Kselect", "W社員名", "U,", "W𠮷田", "Kfrom", "W社員"};
    QTest::newRow("ideographic space separates") << "a　b" << QStringList{"Wa", "Wb"};
    QTest::newRow("half-typed string") << "select 'abc" << QStringList{"Kselect", "S'abc!"};
    QTest::newRow("half-typed comment") << "x /* abc" << QStringList{"Wx", "B/* abc!"};
    QTest::newRow("half-typed name") << "\"ab" << QStringList{"Q\"ab!"};
    QTest::newRow("half-typed body") << "$$ begin" << QStringList{"D$$ begin!"};
    QTest::newRow("lone characters") << "$ # \\ e" << QStringList{"O$", "O#", "O\\", "We"};
    QTest::newRow("empty") << "" << QStringList{};
}

void tst_Tokenizer::tokens()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QCOMPARE(Describe(text), expected);
}

// A text read a line at a time, each line starting from the state the last
// one ended in, gives the tokens of the whole text read at once.
void tst_Tokenizer::linesCarryState_data()
{
    QTest::addColumn<QString>("text");

    QTest::newRow("block comment") << "a /* one\ntwo\n*/ b";
    QTest::newRow("string") << "'one\ntwo'' three\n' x";
    QTest::newRow("escape string") << "E'one\\\ntwo' x";
    QTest::newRow("quoted name") << "\"a\nb\" c";
    QTest::newRow("two tagged bodies") << "$a$ x\n$b$ y\n$a$ z $b$ w\n$b$ q";
    QTest::newRow("unterminated to the end") << "x '\n\n";
}

void tst_Tokenizer::linesCarryState()
{
    QFETCH(QString, text);
    QStringList whole = Describe(text);
    QStringList byLines;
    int state = 0;
    for (const QString &line : text.split(u'\n')) {
        const bool continues = state != 0;
        QStringList tokens = Describe(line, state, &state);
        // The first token of a line that starts inside a string or comment
        // continues the last token of the line before.
        if (continues && !tokens.isEmpty() && !byLines.isEmpty()) {
            QString &last = byLines.last();
            if (last.endsWith(u'!'))
                last.chop(1);
            last += tokens.takeFirst().mid(1);
        }
        byLines << tokens;
    }
    for (QString &token : whole)
        token.remove(u'\n');
    QCOMPARE(byLines, whole);
}

QTEST_GUILESS_MAIN(tst_Tokenizer)
#include "tst_tokenizer.moc"
