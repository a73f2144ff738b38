// Splitting SQL into tokens for highlighting and completion. The input is the
// text, as UTF-8 or as raw UTF-16 (lone surrogates included). Properties:
// - the tokens follow one another without gaps, none empty, and cover the text;
// - only the last token may be unterminated, and then the end state is not 0;
// - a name, keyword, number or parameter never holds a blank or a line break;
// - read a line at a time, each line starting from the state the one before
//   ended in, the text gives the same token boundaries (bar the line breaks
//   themselves, which end every token but a string, name, comment or body) and
//   ends in the same state.

#include "fuzzinput.h"

#include "editor/sqltokenizer.h"

#include <set>

using Editor::SqlTokenizer;
using Editor::Token;
using Editor::TokenKind;

namespace {

// Where tokens start, read from the given state; checks the properties of one pass.
std::set<qsizetype> Boundaries(QStringView text, qsizetype offset, int state, int *endState)
{
    std::set<qsizetype> starts;
    SqlTokenizer tokenizer(text, state);
    Token token;
    qsizetype expected = 0;
    bool unterminated = false;
    while (tokenizer.next(token)) {
        FUZZ_CHECK(!unterminated, "only the last token is unterminated");
        FUZZ_CHECK(token.start == expected && token.length > 0, "tokens follow without gaps");
        unterminated = token.unterminated;
        const QStringView piece = text.sliced(token.start, token.length);
        if (token.kind == TokenKind::Word || token.kind == TokenKind::Keyword
            || token.kind == TokenKind::Number || token.kind == TokenKind::Parameter)
            FUZZ_CHECK(!piece.contains(u' ') && !piece.contains(u'\n') && !piece.contains(u'\r'),
                       "a name or number holds no blank");
        starts.insert(offset + token.start);
        expected = token.start + token.length;
    }
    FUZZ_CHECK(expected == text.size(), "the tokens cover the text");
    FUZZ_CHECK(!unterminated || tokenizer.state() != 0, "an unterminated token leaves a state");
    *endState = tokenizer.state();
    return starts;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const bool utf16 = input.ConsumeBool();
    const QString text = Fuzz::TailText(input, utf16, 4096);

    int wholeState = 0;
    const std::set<qsizetype> whole = Boundaries(text, 0, 0, &wholeState);

    std::set<qsizetype> byLines;
    int state = 0;
    qsizetype lineStart = 0;
    while (true) {
        const qsizetype lineEnd = text.indexOf(u'\n', lineStart);
        const qsizetype end = lineEnd < 0 ? text.size() : lineEnd;
        const QStringView line = QStringView(text).sliced(lineStart, end - lineStart);
        const int before = state;
        std::set<qsizetype> starts = Boundaries(line, lineStart, state, &state);
        // A line that continues a string or comment starts no token of its own.
        if (before != 0)
            starts.erase(lineStart);
        byLines.insert(starts.begin(), starts.end());
        if (lineEnd < 0)
            break;
        lineStart = lineEnd + 1;
    }
    // Read whole, a line break is a token or part of one; read by lines it is
    // not there, so compare only starts that are not at or just after a break.
    for (const std::set<qsizetype> *set :
         {&whole, static_cast<const std::set<qsizetype> *>(&byLines)}) {
        for (qsizetype start : *set) {
            const bool nearBreak = text[start] == u'\n' || (start > 0 && text[start - 1] == u'\n')
                                   || text[start] == u'\r';
            if (!nearBreak)
                FUZZ_CHECK((set == &whole ? byLines : whole).count(start),
                           "lines read one at a time split the text as it is split whole");
        }
    }
    FUZZ_CHECK(state == wholeState, "lines read one at a time end in the state of the whole");
    return 0;
}
