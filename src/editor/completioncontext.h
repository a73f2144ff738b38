#pragma once

#include "editor/schemacatalog.h"

#include <QString>
#include <QStringView>

#include <vector>

namespace Editor {

/// One name that completion offers.
struct Candidate
{
    QString name;   ///< as listed
    QString insert; ///< what replaces the typed part: the name, quoted where it must be
    QString detail; ///< a column's comment, or what kind of name it is
    NameKind kind = NameKind::Table;
};

/// A table named in the statement, with the alias it was given.
struct TableReference
{
    QString schema;
    QString name;
    QString alias;
};

/// What the caret stands in, read from the tokens of the statement around it.
struct CompletionContext
{
    enum class Want : quint8 {
        Nothing,   ///< inside a string or comment, after a number, where an alias goes
        Relations, ///< after FROM, JOIN, UPDATE, INTO, TABLE: tables, views (and schemas)
        Columns,   ///< after "alias." or "table.": that table's columns
        Anything,  ///< elsewhere: the columns of the statement's tables, then tables
    };
    Want want = Want::Nothing;
    /// Where the typed part of the name begins (at its opening quote, if any).
    qsizetype start = 0;
    /// The typed part of the name, without quotes.
    QString prefix;
    bool quoted = false;
    /// The name before the dot ("e" in "e.na"), and a schema before that.
    QString qualifier;
    QString qualifierSchema;
    bool qualified = false;
    std::vector<TableReference> tables;
};

/// Reads the context at the caret from the text around it. The text is read
/// from its start in the tokenizer state given: the caller hands over a bounded
/// stretch, so that a huge statement costs no more per key than a short one.
CompletionContext ReadCompletionContext(QStringView text, qsizetype caret, int state = 0);

/// The names the context asks for, whose names start with its prefix (letter
/// case aside), in name order: columns first, then tables and views, then
/// schemas. `foldsToLower`: the database folds unquoted names to lower case
/// (PostgreSQL), so a name with capitals is inserted quoted, and schemas are
/// offered.
std::vector<Candidate> CompletionCandidates(const CompletionContext &context,
                                            const SchemaCatalog &catalog,
                                            bool foldsToLower);

/// The name as it must be written in a statement: in double quotes (doubled
/// inside) unless it is a plain name that is no reserved word.
QString QuotedNameIfNeeded(const QString &name, bool foldsToLower);

/// Whether a statement text run on the server may change the names of the
/// schema: one of its statements begins with CREATE, ALTER, DROP, RENAME or
/// COMMENT (comments are shown beside columns).
bool ChangesSchema(QStringView sql);

/// The name a quoted or plain name token stands for ("a""b" gives a"b).
QString UnquotedName(QStringView token);

} // namespace Editor
