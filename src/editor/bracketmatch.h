#pragma once

class QTextDocument;

namespace Editor {

/// A bracket beside the caret and the bracket that closes or opens it.
struct BracketMatch
{
    int bracket = -1;     // document position of the bracket beside the caret; -1: none
    int partner = -1;     // its partner; -1: the whole text has none, -2: the search gave up
    bool matched = false; // the partner is of the same kind: ( ), [ ], { }
};

/// Finds the bracket just after `position` (else just before it) and its
/// partner. Brackets in strings, quoted names and comments do not count; those
/// in dollar bodies do, as the body is code. Each line starts in the state its
/// block's user state holds when `statesKnown` (the highlighter keeps it), else
/// outside any comment or string. The search gives up after `scanLimit`
/// characters (partner -2).
BracketMatch
MatchBracket(const QTextDocument *document, int position, bool statesKnown, int scanLimit = 100000);

/// Whether a search that found no partner read the whole text (a bracket
/// really without a partner) rather than giving up.
bool IsUnmatched(const BracketMatch &match);

} // namespace Editor
