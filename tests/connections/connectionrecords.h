#pragma once

#include "connections/connectionlist.h"

#include <QString>

/// A record as the connection dialog writes it: 19 + 19 + 16 characters and the flag.
inline QString record(const QString &user, const QString &server, const QString &password, int flag)
{
    return Connections::RecordText(user, server, password, flag);
}

/// The main window's caption before any connection.
inline const QString Base = QStringLiteral("Korvane Ver3.1.1");
