#include "editor/completioncontext.h"

#include "editor/sqltokenizer.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace Editor {

namespace {

// Words that a name must be quoted to be, on any of the databases (the
// reserved words of SQL that PostgreSQL and SQLite refuse as plain names).
// Upper case, sorted.
constexpr std::array ReservedWords = {
    std::string_view("ALL"),          std::string_view("ANALYSE"),  std::string_view("ANALYZE"),
    std::string_view("AND"),          std::string_view("ANY"),      std::string_view("ARRAY"),
    std::string_view("AS"),           std::string_view("ASC"),      std::string_view("ASYMMETRIC"),
    std::string_view("BETWEEN"),      std::string_view("BOTH"),     std::string_view("BY"),
    std::string_view("CASE"),         std::string_view("CAST"),     std::string_view("CHECK"),
    std::string_view("COLLATE"),      std::string_view("COLUMN"),   std::string_view("CONSTRAINT"),
    std::string_view("CREATE"),       std::string_view("CROSS"),    std::string_view("DEFAULT"),
    std::string_view("DEFERRABLE"),   std::string_view("DELETE"),   std::string_view("DESC"),
    std::string_view("DISTINCT"),     std::string_view("DO"),       std::string_view("DROP"),
    std::string_view("ELSE"),         std::string_view("END"),      std::string_view("EXCEPT"),
    std::string_view("EXISTS"),       std::string_view("FALSE"),    std::string_view("FETCH"),
    std::string_view("FOR"),          std::string_view("FOREIGN"),  std::string_view("FROM"),
    std::string_view("FULL"),         std::string_view("GRANT"),    std::string_view("GROUP"),
    std::string_view("HAVING"),       std::string_view("IN"),       std::string_view("INDEX"),
    std::string_view("INITIALLY"),    std::string_view("INNER"),    std::string_view("INSERT"),
    std::string_view("INTERSECT"),    std::string_view("INTO"),     std::string_view("IS"),
    std::string_view("JOIN"),         std::string_view("LATERAL"),  std::string_view("LEADING"),
    std::string_view("LEFT"),         std::string_view("LIKE"),     std::string_view("LIMIT"),
    std::string_view("NATURAL"),      std::string_view("NOT"),      std::string_view("NULL"),
    std::string_view("OFFSET"),       std::string_view("ON"),       std::string_view("ONLY"),
    std::string_view("OR"),           std::string_view("ORDER"),    std::string_view("OUTER"),
    std::string_view("PLACING"),      std::string_view("PRIMARY"),  std::string_view("REFERENCES"),
    std::string_view("RETURNING"),    std::string_view("RIGHT"),    std::string_view("SELECT"),
    std::string_view("SESSION_USER"), std::string_view("SET"),      std::string_view("SOME"),
    std::string_view("SYMMETRIC"),    std::string_view("TABLE"),    std::string_view("THEN"),
    std::string_view("TO"),           std::string_view("TRAILING"), std::string_view("TRUE"),
    std::string_view("UNION"),        std::string_view("UNIQUE"),   std::string_view("UPDATE"),
    std::string_view("USER"),         std::string_view("USING"),    std::string_view("VALUES"),
    std::string_view("VARIADIC"),     std::string_view("WHEN"),     std::string_view("WHERE"),
    std::string_view("WINDOW"),       std::string_view("WITH"),
};

static_assert(std::is_sorted(ReservedWords.begin(), ReservedWords.end()));

bool IsReserved(QStringView word)
{
    if (word.size() < 2 || word.size() > 16)
        return false;
    char upper[16];
    for (qsizetype i = 0; i < word.size(); ++i) {
        const char16_t c = word[i].unicode();
        if (c >= 0x80)
            return false;
        upper[i] = char(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    return std::binary_search(ReservedWords.begin(), ReservedWords.end(),
                              std::string_view(upper, size_t(word.size())));
}

bool IsName(const Token &token)
{
    return token.kind == TokenKind::Word || token.kind == TokenKind::Keyword
           || token.kind == TokenKind::QuotedName;
}

// The significant tokens of the statement around the caret, and where the
// name at the caret stands among them.
class StatementReader
{
public:
    StatementReader(QStringView text, qsizetype caret, int state);

    CompletionContext read();

private:
    QStringView textOf(size_t i) const { return mText.sliced(mTokens[i].start, mTokens[i].length); }
    bool isWord(size_t i, const char *word) const
    {
        return i < mTokens.size() && mTokens[i].kind == TokenKind::Keyword
               && textOf(i).compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    }
    bool isPunctuation(size_t i, char16_t c) const
    {
        return i < mTokens.size() && mTokens[i].kind == TokenKind::Punctuation
               && mText[mTokens[i].start] == c;
    }
    bool opensRelations(size_t i) const;
    bool inRelationList(size_t before) const;
    void readTables(std::vector<TableReference> &tables) const;
    size_t readTable(size_t i, std::vector<TableReference> &tables) const;

    QStringView mText;
    qsizetype mCaret;
    std::vector<Token> mTokens; // of the caret's statement, no spaces or comments
    size_t mAtCaret = 0;        // the first token at or after the name's start
    bool mInsideText = false;   // the caret is inside a string or comment
    Token mName;                // the name being typed, when there is one
    bool mHasName = false;
};

StatementReader::StatementReader(QStringView text, qsizetype caret, int state)
    : mText(text)
    , mCaret(std::clamp<qsizetype>(caret, 0, text.size()))
{
    SqlTokenizer tokenizer(text, state);
    Token token;
    bool pastCaret = false;
    while (tokenizer.next(token)) {
        const qsizetype end = token.start + token.length;
        const bool holdsCaret = token.start < mCaret && mCaret <= end;
        switch (token.kind) {
        case TokenKind::Space:
            continue;
        case TokenKind::String:
        case TokenKind::DollarString:
        case TokenKind::LineComment:
        case TokenKind::BlockComment:
            // The caret at the end of a closed string or block comment is after it.
            if (holdsCaret
                && (mCaret < end || token.unterminated || token.kind == TokenKind::LineComment))
                mInsideText = true;
            if (token.kind == TokenKind::LineComment || token.kind == TokenKind::BlockComment)
                continue;
            break;
        default:
            if (holdsCaret
                && (IsName(token) || token.kind == TokenKind::Number
                    || token.kind == TokenKind::Parameter)) {
                mName = token;
                mHasName = true;
            }
            break;
        }
        if (token.kind == TokenKind::Punctuation && text[token.start] == u';') {
            if (token.start >= mCaret)
                break; // the end of the caret's statement
            mTokens.clear();
            continue;
        }
        if (!pastCaret && token.start >= (mHasName ? mName.start : mCaret)) {
            mAtCaret = mTokens.size();
            pastCaret = true;
        }
        mTokens.push_back(token);
    }
    if (!pastCaret)
        mAtCaret = mTokens.size();
}

// FROM, JOIN, UPDATE, INTO and TABLE (but not CREATE TABLE) name relations next.
bool StatementReader::opensRelations(size_t i) const
{
    if (isWord(i, "from") || isWord(i, "join") || isWord(i, "update") || isWord(i, "into"))
        return true;
    return isWord(i, "table") && !(i > 0 && isWord(i - 1, "create"));
}

// Whether a comma before the name continues a FROM list: walking back over
// "name [AS] alias" items and commas reaches FROM.
bool StatementReader::inRelationList(size_t before) const
{
    for (size_t i = before; i-- > 0;) {
        const Token &token = mTokens[i];
        if (isWord(i, "from"))
            return true;
        if (isWord(i, "as") || isPunctuation(i, ',') || isPunctuation(i, '.'))
            continue;
        if (token.kind == TokenKind::Keyword && IsReserved(textOf(i)))
            return false;
        if (!IsName(token))
            return false;
    }
    return false;
}

// Reads "[schema.]name [[AS] alias]" at i; returns the index after it.
size_t StatementReader::readTable(size_t i, std::vector<TableReference> &tables) const
{
    if (isPunctuation(i, '(')) {
        int depth = 0;
        for (; i < mTokens.size(); ++i) {
            depth += isPunctuation(i, '(') ? 1 : isPunctuation(i, ')') ? -1 : 0;
            if (depth == 0)
                return i + 1;
        }
        return i;
    }
    TableReference table;
    while (i < mTokens.size() && IsName(mTokens[i]) && !IsReserved(textOf(i))) {
        table.schema = table.name;
        table.name = UnquotedName(textOf(i));
        if (!isPunctuation(i + 1, '.'))
            break;
        i += 2;
    }
    if (table.name.isEmpty() || i >= mTokens.size() || i == mAtCaret)
        return i;
    ++i;
    if (isWord(i, "as"))
        ++i;
    if (i < mTokens.size() && IsName(mTokens[i]) && !IsReserved(textOf(i)) && i != mAtCaret) {
        table.alias = UnquotedName(textOf(i));
        ++i;
    }
    tables.push_back(table);
    return i;
}

void StatementReader::readTables(std::vector<TableReference> &tables) const
{
    for (size_t i = 0; i < mTokens.size(); ++i) {
        if (!opensRelations(i))
            continue;
        const bool list = isWord(i, "from");
        size_t next = readTable(i + 1, tables);
        while (list && isPunctuation(next, ','))
            next = readTable(next + 1, tables);
        i = next > i ? next - 1 : i;
    }
}

CompletionContext StatementReader::read()
{
    CompletionContext context;
    context.start = mCaret;
    if (mInsideText)
        return context;
    if (mHasName) {
        if (mName.kind == TokenKind::Number || mName.kind == TokenKind::Parameter)
            return context;
        context.start = mName.start;
        const QStringView typed = mText.sliced(mName.start, mCaret - mName.start);
        context.quoted = mName.kind == TokenKind::QuotedName;
        context.prefix = context.quoted ? UnquotedName(typed) : typed.toString();
    }
    // The qualifier chain before the name: "schema.table." or "alias.".
    size_t i = mAtCaret;
    if (i > 0 && isPunctuation(i - 1, '.') && mTokens[i - 1].start + 1 == context.start) {
        if (i < 2 || !IsName(mTokens[i - 2]))
            return context;
        context.qualified = true;
        context.qualifier = UnquotedName(textOf(i - 2));
        i -= 2;
        if (i >= 2 && isPunctuation(i - 1, '.') && IsName(mTokens[i - 2])) {
            context.qualifierSchema = UnquotedName(textOf(i - 2));
            i -= 2;
        }
    }
    readTables(context.tables);
    if (i == 0) {
        context.want = CompletionContext::Want::Anything;
    } else if (opensRelations(i - 1) || (isPunctuation(i - 1, ',') && inRelationList(i - 1))) {
        context.want = CompletionContext::Want::Relations;
    } else if (mTokens[i - 1].kind == TokenKind::Word
               || mTokens[i - 1].kind == TokenKind::QuotedName
               || mTokens[i - 1].kind == TokenKind::Number || isPunctuation(i - 1, ')')
               || isWord(i - 1, "as") || mTokens[i - 1].kind == TokenKind::String) {
        return context; // where an alias or an operator goes, not a name
    } else {
        context.want = CompletionContext::Want::Anything;
    }
    if (context.qualified)
        context.want = context.want == CompletionContext::Want::Relations
                           ? CompletionContext::Want::Relations
                           : CompletionContext::Want::Columns;
    return context;
}

// Collects candidates whose names start with the prefix.
class CandidateList
{
public:
    CandidateList(const CompletionContext &context, const SchemaCatalog &catalog, bool foldsToLower)
        : mContext(context)
        , mCatalog(catalog)
        , mFoldsToLower(foldsToLower)
    {}

    void addColumns(int relation)
    {
        if (relation < 0)
            return;
        for (const SchemaColumn &column : mCatalog.relations()[size_t(relation)].columns) {
            if (column.name.startsWith(mContext.prefix, Qt::CaseInsensitive))
                add(column.name, column.comment, NameKind::Column);
        }
    }
    void addRelations(QStringView schema)
    {
        for (int index : mCatalog.relationsStartingWith(mContext.prefix, schema)) {
            const SchemaRelation &relation = mCatalog.relations()[size_t(index)];
            add(relation.name,
                relation.kind == NameKind::View ? QStringLiteral("ビュー") : QStringLiteral("表"),
                relation.kind);
        }
    }
    void addSchemas()
    {
        for (const QString &schema : mCatalog.schemasStartingWith(mContext.prefix))
            add(schema, QStringLiteral("スキーマ"), NameKind::Schema);
    }
    // Columns of several tables: each name once, sorted.
    void sortColumns()
    {
        const auto byName = [](const Candidate &a, const Candidate &b) {
            return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
        };
        std::stable_sort(mList.begin(), mList.end(), byName);
        mList.erase(
            std::unique(mList.begin(), mList.end(),
                        [](const Candidate &a, const Candidate &b) { return a.name == b.name; }),
            mList.end());
    }
    std::vector<Candidate> take() { return std::move(mList); }

private:
    void add(const QString &name, const QString &detail, NameKind kind)
    {
        mList.push_back({name, QuotedNameIfNeeded(name, mFoldsToLower), detail, kind});
    }

    const CompletionContext &mContext;
    const SchemaCatalog &mCatalog;
    bool mFoldsToLower;
    std::vector<Candidate> mList;
};

// The relation that "qualifier." names: an alias or table of the statement,
// else a relation of that name.
int QualifiedRelation(const CompletionContext &context, const SchemaCatalog &catalog)
{
    if (!context.qualifierSchema.isEmpty())
        return catalog.findRelation(context.qualifierSchema, context.qualifier);
    for (const TableReference &table : context.tables) {
        const QString &name = table.alias.isEmpty() ? table.name : table.alias;
        if (name.compare(context.qualifier, Qt::CaseInsensitive) == 0)
            return catalog.findRelation(table.schema, table.name);
    }
    return catalog.findRelation({}, context.qualifier);
}

} // namespace

CompletionContext ReadCompletionContext(QStringView text, qsizetype caret, int state)
{
    return StatementReader(text, caret, state).read();
}

std::vector<Candidate> CompletionCandidates(const CompletionContext &context,
                                            const SchemaCatalog &catalog,
                                            bool foldsToLower)
{
    using Want = CompletionContext::Want;
    CandidateList list(context, catalog, foldsToLower);
    switch (context.want) {
    case Want::Nothing:
        break;
    case Want::Relations:
        if (context.qualified) {
            list.addRelations(context.qualifier);
            break;
        }
        list.addRelations({});
        if (foldsToLower)
            list.addSchemas();
        break;
    case Want::Columns:
        if (const int relation = QualifiedRelation(context, catalog); relation >= 0)
            list.addColumns(relation);
        else if (context.qualifierSchema.isEmpty() && catalog.hasSchema(context.qualifier))
            list.addRelations(context.qualifier);
        break;
    case Want::Anything:
        for (const TableReference &table : context.tables)
            list.addColumns(catalog.findRelation(table.schema, table.name));
        list.sortColumns();
        list.addRelations({});
        if (foldsToLower)
            list.addSchemas();
        break;
    }
    return list.take();
}

QString QuotedNameIfNeeded(const QString &name, bool foldsToLower)
{
    bool plain = !name.isEmpty() && !IsReserved(name)
                 && (name[0].isLetter() || name[0] == u'_' || name[0].isHighSurrogate());
    for (qsizetype i = 0; plain && i < name.size(); ++i) {
        const QChar c = name[i];
        plain = IsNameCharacter(c) && c != u'$' && c != u'#' && !(foldsToLower && c.isUpper());
    }
    if (plain)
        return name;
    QString quoted = name;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

bool ChangesSchema(QStringView sql)
{
    SqlTokenizer tokenizer(sql);
    Token token;
    bool first = true;
    while (tokenizer.next(token)) {
        if (token.kind == TokenKind::Space || token.kind == TokenKind::LineComment
            || token.kind == TokenKind::BlockComment)
            continue;
        const QStringView text = sql.sliced(token.start, token.length);
        if (first && token.kind == TokenKind::Keyword) {
            for (const char *word : {"create", "alter", "drop", "rename", "comment"}) {
                if (text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0)
                    return true;
            }
        }
        first = token.kind == TokenKind::Punctuation && text == u";";
    }
    return false;
}

QString UnquotedName(QStringView token)
{
    if (token.isEmpty() || (token[0] != u'"' && token[0] != u'`'))
        return token.toString();
    const QChar quote = token[0];
    QString name;
    name.reserve(token.size());
    for (qsizetype i = 1; i < token.size(); ++i) {
        if (token[i] == quote) {
            if (i + 1 < token.size() && token[i + 1] == quote)
                ++i; // a doubled quote stands for one
            else
                break; // the closing quote
        }
        name += token[i];
    }
    return name;
}

} // namespace Editor
