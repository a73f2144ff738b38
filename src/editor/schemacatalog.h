#pragma once

#include <QString>
#include <QStringView>

#include <vector>

namespace Editor {

/// What a name of the schema stands for.
enum class NameKind : quint8 { Schema, Table, View, Column };

struct SchemaColumn
{
    QString name;
    QString comment; ///< PostgreSQL's column comment; empty elsewhere
};

/// A table or view with its columns in their order.
struct SchemaRelation
{
    QString schema; ///< empty where the database has no schemas (SQLite)
    QString name;
    NameKind kind = NameKind::Table;
    /// Reached without its schema (on PostgreSQL's search path).
    bool visible = true;
    std::vector<SchemaColumn> columns;
};

/// The names of one database that completion offers: schemas, tables, views
/// and their columns. It is built once by the loader and then only read, so
/// that the window may use it while a newer one is being loaded.
///
/// Lookups go by case-folded name through sorted indexes: a prefix search over
/// 100,000 tables is a binary search, not a scan.
class SchemaCatalog
{
public:
    /// Building: add the schemas, the relations and their columns, then finish().
    void addSchema(const QString &name);
    /// Returns the relation's index, for addColumn.
    int addRelation(const QString &schema, const QString &name, NameKind kind, bool visible);
    void addColumn(int relation, const QString &name, const QString &comment = {});
    /// Sorts the indexes; lookups before it find nothing.
    void finish();

    const std::vector<SchemaRelation> &relations() const { return mRelations; }
    const std::vector<QString> &schemas() const { return mSchemas; }
    qsizetype columnCount() const { return mColumnCount; }

    /// The relations whose name starts with the prefix, letter case aside, in
    /// name order: those of the schema given, or without one those reached
    /// without their schema. At most `limit` of them.
    std::vector<int> relationsStartingWith(QStringView prefix,
                                           QStringView schema = {},
                                           qsizetype limit = 100000) const;
    /// The schemas whose name starts with the prefix, letter case aside.
    std::vector<QString> schemasStartingWith(QStringView prefix) const;

    /// The relation a name in a statement means, or -1: the one of that schema
    /// (or reached without one) whose name matches exactly, else letter case aside.
    int findRelation(QStringView schema, QStringView name) const;
    bool hasSchema(QStringView name) const;

    /// The form in which names are compared.
    static QString fold(QStringView name);

private:
    struct Key
    {
        QString folded;
        int index;
        bool operator<(const Key &other) const;
    };
    std::pair<std::vector<Key>::const_iterator, std::vector<Key>::const_iterator>
    range(const std::vector<Key> &keys, QStringView prefix) const;

    std::vector<SchemaRelation> mRelations;
    std::vector<QString> mSchemas;
    std::vector<Key> mRelationKeys; // by folded name
    std::vector<Key> mSchemaKeys;
    qsizetype mColumnCount = 0;
};

} // namespace Editor
