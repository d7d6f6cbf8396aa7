// fuzz_text.h: draws UTF-16 strings for the fuzzers: the platform's own
// literals most of the time, arbitrary code units (lone surrogates, 255+
// characters) the rest.
#ifndef FUZZ_TEXT_H
#define FUZZ_TEXT_H

#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

inline std::u16string ArbitraryText(FuzzedDataProvider& in, size_t maxChars)
{
    std::u16string text;
    const size_t length = in.ConsumeIntegralInRange<size_t>(0, maxChars);
    for (size_t i = 0; i < length && in.remaining_bytes() > 0; i++) {
        switch (in.ConsumeIntegralInRange<int>(0, 3)) {
        case 0:
            text += (char16_t)in.ConsumeIntegralInRange<int>(0x20, 0x7E);
            break;
        case 1:
            text += (char16_t)in.ConsumeIntegralInRange<int>(0xFF61, 0xFF9F);  // half-width kana
            break;
        case 2:
            text += (char16_t)in.ConsumeIntegralInRange<int>(0xD800, 0xDFFF);  // lone surrogates
            break;
        default:
            text += (char16_t)in.ConsumeIntegralInRange<int>(1, 0xFFFF);
            break;
        }
    }
    return text;
}

inline std::u16string PickText(FuzzedDataProvider& in, const std::vector<std::u16string>& pool,
                               size_t maxChars)
{
    if (in.ConsumeBool())
        return pool[in.ConsumeIntegralInRange<size_t>(0, pool.size() - 1)];
    if (in.ConsumeIntegralInRange<int>(0, 7) == 0)
        return std::u16string(in.ConsumeIntegralInRange<size_t>(250, 600), u'A');
    return ArbitraryText(in, maxChars);
}

#endif
