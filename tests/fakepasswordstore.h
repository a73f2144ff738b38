#pragma once

#include "connections/passwordstore.h"

#include <QMap>

/// A keyring in memory that answers with the status it is given, installed for
/// the life of the object.
class FakePasswordStore : public Connections::PasswordStore
{
public:
    explicit FakePasswordStore(bool available)
        : mAvailable(available)
    {
        install(this);
    }
    ~FakePasswordStore() override { install(nullptr); }

    bool isAvailable() override { return mAvailable; }
    Result store(const QString &key, const QString &password) override
    {
        if (failure != Status::Ok)
            return {failure, {}, QStringLiteral("fake")};
        entries.insert(key, password);
        return {Status::Ok, {}, {}};
    }
    Result read(const QString &key) override
    {
        if (failure != Status::Ok)
            return {failure, {}, QStringLiteral("fake")};
        if (!entries.contains(key))
            return {Status::NotFound, {}, {}};
        return {Status::Ok, entries.value(key), {}};
    }
    Result remove(const QString &key) override
    {
        if (failure != Status::Ok)
            return {failure, {}, QStringLiteral("fake")};
        entries.remove(key);
        return {Status::Ok, {}, {}};
    }

    Status failure = Status::Ok; ///< what every call answers, when not Ok
    QMap<QString, QString> entries;

private:
    bool mAvailable;
};
