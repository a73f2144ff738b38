#pragma once

#include <QStringView>

namespace Engine {

/// What a statement typed by the user does to the transaction, when it is one of
/// the statements that control it. These run as typed: the program begins no
/// transaction and sets no savepoint around them, and afterwards asks the server
/// whether a transaction is open.
enum class TransactionControl {
    None,      ///< any other statement (a PL/SQL block "BEGIN ... END;" included)
    Begin,     ///< BEGIN [WORK | TRANSACTION | ...], START TRANSACTION
    Commit,    ///< COMMIT [WORK | ...], END [WORK | TRANSACTION]
    Rollback,  ///< ROLLBACK [WORK | ...], ABORT
    Savepoint, ///< SAVEPOINT, RELEASE, ROLLBACK [WORK] TO: the transaction stays
};

/// Reads the first words of a statement, after blanks and -- and /* */ comments,
/// in any letter case.
TransactionControl ClassifyTransactionControl(QStringView sql);

} // namespace Engine
