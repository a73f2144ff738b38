#pragma once

/// The one current connection of the application and its transaction flag.
namespace DB {

bool InTransaction();
void SetInTransaction(bool value);

/// Closes the connection, if any (rolling back uncommitted work), and clears InTransaction.
void DisconnectDatabase();

} // namespace DB
