#include "editor/bracketmatch.h"

#include "editor/sqltokenizer.h"

#include <QList>
#include <QTextBlock>
#include <QTextDocument>

namespace Editor {

namespace {

constexpr int OuterMask = (1 << 24) - 1; // the tokenizer's part of a block state
constexpr int GaveUp = -2;               // partner: the search stopped at its limit

struct Bracket
{
    qsizetype position;
    char16_t character;
};

bool IsOpening(char16_t c)
{
    return c == '(' || c == '[' || c == '{';
}

char16_t PartnerOf(char16_t c)
{
    switch (c) {
    case '(':
        return ')';
    case ')':
        return '(';
    case '[':
        return ']';
    case ']':
        return '[';
    case '{':
        return '}';
    case '}':
        return '{';
    default:
        return 0;
    }
}

void CollectBrackets(QStringView text, qsizetype offset, int state, QList<Bracket> &out, int *end)
{
    SqlTokenizer tokenizer(text, state);
    Token token;
    while (tokenizer.next(token)) {
        if (token.kind == TokenKind::DollarString) {
            // The body is code: its brackets count (its own strings are read
            // afresh on each line).
            const QStringView body = text.sliced(token.start, token.length);
            const qsizetype tag = SqlTokenizer::dollarTag(body).size();
            CollectBrackets(body.sliced(tag), offset + token.start + tag, 0, out, nullptr);
        } else if (token.kind == TokenKind::Punctuation || token.kind == TokenKind::Operator) {
            for (qsizetype i = token.start; i < token.start + token.length; ++i) {
                if (PartnerOf(text[i].unicode()))
                    out.append({offset + i, text[i].unicode()});
            }
        }
    }
    if (end)
        *end = tokenizer.state();
}

int StartState(const QTextBlock &block, bool statesKnown)
{
    const QTextBlock previous = block.previous();
    if (!statesKnown || !previous.isValid())
        return 0;
    return qMax(previous.userState(), 0) & OuterMask;
}

QList<Bracket> BracketsOf(const QTextBlock &block, int state, int *end = nullptr)
{
    QList<Bracket> brackets;
    CollectBrackets(block.text(), block.position(), state, brackets, end);
    return brackets;
}

// Walks brackets away from `from` (forward or back) until the one that brings
// the depth back to zero.
int FindPartner(const QTextBlock &start, const Bracket &from, bool statesKnown, int scanLimit)
{
    const bool forward = IsOpening(from.character);
    int depth = 0;
    int scanned = 0;
    int state = StartState(start, statesKnown);
    for (QTextBlock block = start; block.isValid();
         block = forward ? block.next() : block.previous()) {
        int end = 0;
        const QList<Bracket> brackets = BracketsOf(
            block, block == start || !forward ? StartState(block, statesKnown) : state, &end);
        state = end;
        for (qsizetype k = 0; k < brackets.size(); ++k) {
            const Bracket &b = brackets[forward ? k : brackets.size() - 1 - k];
            if (block == start
                && (forward ? b.position <= from.position : b.position >= from.position))
                continue;
            if (IsOpening(b.character) == forward)
                ++depth;
            else if (depth-- == 0)
                return int(b.position);
        }
        scanned += block.length();
        if (scanned > scanLimit)
            return GaveUp;
    }
    return -1;
}

} // namespace

BracketMatch
MatchBracket(const QTextDocument *document, int position, bool statesKnown, int scanLimit)
{
    BracketMatch match;
    const QTextBlock block = document->findBlock(position);
    if (!block.isValid() || block.length() > scanLimit)
        return match;
    const QList<Bracket> brackets = BracketsOf(block, StartState(block, statesKnown));
    const Bracket *found = nullptr;
    for (const Bracket &b : brackets) {
        if (b.position == position)
            found = &b;
        else if (b.position == position - 1 && !found)
            found = &b;
    }
    if (!found)
        return match;
    match.bracket = int(found->position);
    match.partner = FindPartner(block, *found, statesKnown, scanLimit);
    if (match.partner >= 0)
        match.matched = document->characterAt(match.partner) == QChar(PartnerOf(found->character));
    return match;
}

bool IsUnmatched(const BracketMatch &match)
{
    return match.bracket >= 0 && match.partner == -1;
}

} // namespace Editor
