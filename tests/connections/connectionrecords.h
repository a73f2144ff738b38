#pragma once

#include "common/errors.h"
#include "connections/connectionlist.h"
#include "oracle/db.h"

#include <QString>

/// A record as the connection dialog writes it: 19 + 19 + 16 characters and the flag.
inline QString record(const QString &user, const QString &server, const QString &password, int flag)
{
    return Connections::RecordText(user, server, password, flag);
}

/// The main window's caption before any connection.
inline const QString Base = QStringLiteral("Korvane Ver3.1.1");

/// Closes the connection and forgets the current one, as at the program's start.
inline void forgetConnection()
{
    DB::DisconnectDatabase();
    DB::SetCurrentUserId(QString());
    DB::SetCurrentPassword(QString());
    DB::SetCurrentServerName(QString());
    DB::SetCurrentIsInitial(0);
    Common::LastError::clear();
}
