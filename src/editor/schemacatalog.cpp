#include "editor/schemacatalog.h"

#include <algorithm>

namespace Editor {

bool SchemaCatalog::Key::operator<(const Key &other) const
{
    const int order = QStringView(folded).compare(QStringView(other.folded));
    return order < 0 || (order == 0 && index < other.index);
}

QString SchemaCatalog::fold(QStringView name)
{
    return name.toString().toCaseFolded();
}

void SchemaCatalog::addSchema(const QString &name)
{
    mSchemas.push_back(name);
}

int SchemaCatalog::addRelation(const QString &schema,
                               const QString &name,
                               NameKind kind,
                               bool visible)
{
    mRelations.push_back({schema, name, kind, visible, {}});
    return int(mRelations.size() - 1);
}

void SchemaCatalog::addColumn(int relation, const QString &name, const QString &comment)
{
    if (relation < 0 || size_t(relation) >= mRelations.size())
        return;
    mRelations[size_t(relation)].columns.push_back({name, comment});
    ++mColumnCount;
}

void SchemaCatalog::finish()
{
    mRelationKeys.clear();
    mRelationKeys.reserve(mRelations.size());
    for (size_t i = 0; i < mRelations.size(); ++i)
        mRelationKeys.push_back({fold(mRelations[i].name), int(i)});
    std::sort(mRelationKeys.begin(), mRelationKeys.end());

    std::sort(mSchemas.begin(), mSchemas.end());
    mSchemas.erase(std::unique(mSchemas.begin(), mSchemas.end()), mSchemas.end());
    mSchemaKeys.clear();
    for (size_t i = 0; i < mSchemas.size(); ++i)
        mSchemaKeys.push_back({fold(mSchemas[i]), int(i)});
    std::sort(mSchemaKeys.begin(), mSchemaKeys.end());
}

// The keys whose folded text starts with the folded prefix: they stand
// together in the sorted index.
std::pair<std::vector<SchemaCatalog::Key>::const_iterator,
          std::vector<SchemaCatalog::Key>::const_iterator>
SchemaCatalog::range(const std::vector<Key> &keys, QStringView prefix) const
{
    const QString folded = fold(prefix);
    const auto first = std::lower_bound(keys.begin(), keys.end(), Key{folded, -1});
    auto last = first;
    while (last != keys.end() && QStringView(last->folded).startsWith(folded))
        ++last;
    return {first, last};
}

std::vector<int>
SchemaCatalog::relationsStartingWith(QStringView prefix, QStringView schema, qsizetype limit) const
{
    std::vector<int> found;
    const auto [first, last] = range(mRelationKeys, prefix);
    for (auto it = first; it != last && qsizetype(found.size()) < limit; ++it) {
        const SchemaRelation &relation = mRelations[size_t(it->index)];
        const bool inSchema = schema.isEmpty()
                                  ? relation.visible
                                  : relation.schema.compare(schema, Qt::CaseInsensitive) == 0;
        if (inSchema)
            found.push_back(it->index);
    }
    return found;
}

std::vector<QString> SchemaCatalog::schemasStartingWith(QStringView prefix) const
{
    std::vector<QString> found;
    const auto [first, last] = range(mSchemaKeys, prefix);
    for (auto it = first; it != last; ++it)
        found.push_back(mSchemas[size_t(it->index)]);
    return found;
}

int SchemaCatalog::findRelation(QStringView schema, QStringView name) const
{
    int caseAside = -1;
    const auto [first, last] = range(mRelationKeys, name);
    for (auto it = first; it != last; ++it) {
        const SchemaRelation &relation = mRelations[size_t(it->index)];
        if (relation.name.size() != name.size())
            continue;
        const bool inSchema = schema.isEmpty()
                                  ? relation.visible
                                  : relation.schema.compare(schema, Qt::CaseInsensitive) == 0;
        if (!inSchema)
            continue;
        if (relation.name == name)
            return it->index;
        if (caseAside < 0)
            caseAside = it->index;
    }
    return caseAside;
}

bool SchemaCatalog::hasSchema(QStringView name) const
{
    const auto [first, last] = range(mSchemaKeys, name);
    for (auto it = first; it != last; ++it) {
        if (mSchemas[size_t(it->index)].size() == name.size())
            return true;
    }
    return false;
}

} // namespace Editor
