// The text of loaded files: the bytes of a SQL file, CONFIG.ini, SERVERS.ini or
// DB.ini. Properties:
// - the decoded text is valid UTF-16, whatever the bytes;
// - bytes that are valid UTF-8 decode as UTF-8, without loss: encoding the text
//   gives the same bytes; bytes that are not are reported only when Shift_JIS
//   does not take them either;
// - the file's lines hold no CR, and put back together with CR LF they are the
//   text with every line end made CR LF;
// - a cut to a number of encoded bytes keeps to it, never splits a character and
//   leaves out nothing that would fit.

#include "fuzzinput.h"

#include "common/textcodec.h"
#include "files/textfiles.h"

#include <QStringDecoder>

namespace {

// Strict UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF),
// stated on its own.
bool isUtf8(const QByteArray &bytes)
{
    const auto byte = [&](qsizetype i) { return quint8(bytes.at(i)); };
    for (qsizetype i = 0; i < bytes.size();) {
        const quint8 lead = byte(i);
        int length = 0;
        quint32 low = 0;
        quint32 code = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if ((lead & 0xe0) == 0xc0) {
            length = 2, low = 0x80, code = lead & 0x1f;
        } else if ((lead & 0xf0) == 0xe0) {
            length = 3, low = 0x800, code = lead & 0x0f;
        } else if ((lead & 0xf8) == 0xf0) {
            length = 4, low = 0x10000, code = lead & 0x07;
        } else {
            return false;
        }
        if (i + length > bytes.size())
            return false;
        for (int k = 1; k < length; ++k) {
            if ((byte(i + k) & 0xc0) != 0x80)
                return false;
            code = code << 6 | (byte(i + k) & 0x3f);
        }
        if (code < low || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff))
            return false;
        i += length;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    bool ok = false;
    const QString text = Common::DecodeText(bytes, &ok);
    FUZZ_CHECK(Fuzz::IsValidUtf16(text), "decoded text is valid UTF-16");
    if (isUtf8(bytes)) {
        FUZZ_CHECK(ok, "UTF-8 is text");
        const QByteArray bom("\xef\xbb\xbf");
        FUZZ_CHECK(Common::EncodeText(text) == (bytes.startsWith(bom) ? bytes.mid(3) : bytes),
                   "UTF-8 decodes without loss, but for a byte-order mark at the start");
    } else if (!ok) {
        QStringDecoder shiftJis("Shift_JIS");
        const QString decoded = shiftJis(bytes);
        Q_UNUSED(decoded);
        FUZZ_CHECK(shiftJis.hasError(), "bytes are refused only when Shift_JIS refuses them too");
    }

    const QStringList lines = FileIO::SplitFileLines(text);
    QString normalised = text;
    normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\r"));
    QString joined;
    for (const QString &line : lines) {
        FUZZ_CHECK(!line.contains(QLatin1Char('\r')), "a line holds no CR");
        joined += line + QLatin1Char('\r');
    }
    if (!normalised.isEmpty() && !normalised.endsWith(QLatin1Char('\r')))
        joined.chop(1);
    FUZZ_CHECK(joined == normalised, "the lines rebuild the text");

    const int limit = int(size % 97);
    const QString cut = Common::TruncateToBytes(text, limit);
    const qsizetype cutBytes = Common::EncodeText(cut).size();
    FUZZ_CHECK(text.startsWith(cut), "a cut text is the text's beginning");
    FUZZ_CHECK(cutBytes <= limit, "a cut text keeps to its bytes");
    FUZZ_CHECK(Fuzz::IsValidUtf16(cut), "a cut never splits a character");
    if (cut.size() < text.size()) {
        const qsizetype next = text.at(cut.size()).isHighSurrogate() ? 2 : 1;
        FUZZ_CHECK(Common::EncodeText(text.left(cut.size() + next)).size() > limit,
                   "a cut leaves out nothing that fits");
    }
    return 0;
}
