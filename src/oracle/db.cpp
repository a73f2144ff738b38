#include "oracle/db.h"

namespace DB {

static bool inTransaction = false;

bool InTransaction()
{
    return inTransaction;
}

void SetInTransaction(bool value)
{
    inTransaction = value;
}

void DisconnectDatabase()
{
    inTransaction = false;
}

} // namespace DB
