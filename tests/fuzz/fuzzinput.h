#pragma once

// What the fuzz targets share: turning the fuzzer's bytes into texts, and the check
// that stops the run with the broken property named.

#include <fuzzer/FuzzedDataProvider.h>

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstdlib>

/// Stops the run, so that libFuzzer keeps the input, when a property does not hold.
#define FUZZ_CHECK(condition, property)                                                            \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, property);    \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

namespace Fuzz {

/// A short text taken from the end of the input, so that the front of a seed file
/// stays whole for the part under test: up to maxBytes bytes read as UTF-8 (each
/// invalid byte a replacement character) or as raw UTF-16 code units, lone
/// surrogates included.
inline QString TailText(FuzzedDataProvider &input, bool utf16, int maxBytes = 40)
{
    const int length = input.ConsumeIntegralInRange<int>(0, maxBytes);
    QByteArray bytes;
    for (int i = 0; i < length && input.remaining_bytes() > 0; ++i)
        bytes += char(input.ConsumeIntegral<quint8>());
    if (!utf16)
        return QString::fromUtf8(bytes);
    QString text;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
        text += QChar(char16_t(quint8(bytes[i]) | quint8(bytes[i + 1]) << 8));
    return text;
}

/// No lone surrogate: every high surrogate followed by a low one, and every low
/// one preceded by a high one.
inline bool IsValidUtf16(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i).isHighSurrogate()) {
            if (i + 1 >= text.size() || !text.at(i + 1).isLowSurrogate())
                return false;
            ++i;
        } else if (text.at(i).isLowSurrogate()) {
            return false;
        }
    }
    return true;
}

} // namespace Fuzz
