// Decimal numbers of the settings file, rounded to the nearest float exactly.
// The runtime's float conversion takes its decimal separator from the
// process-wide locale, which any other module of the game may change; the
// settings file always writes a decimal point, so it is read by hand. The
// value and the float's powers of two are compared as whole numbers, so a
// value next to the midpoint of two floats still takes the nearer one.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "settings/settings.h"

namespace {

// A whole number, the lowest 32-bit word first. 20 words hold every number
// the rounding below makes: at most 121 digits times 2^149, or 10^166 times 2^24.
constexpr int kWords = 20;

struct BigNumber {
    uint32_t word[kWords];
};

void MultiplyAdd(BigNumber& n, uint32_t factor, uint32_t addend) {
    uint64_t carry = addend;
    for (uint32_t& word : n.word) {
        carry += static_cast<uint64_t>(word) * factor;
        word = static_cast<uint32_t>(carry);
        carry >>= 32;
    }
}

void ShiftLeft(BigNumber& n, int bits) {
    const int words = bits / 32, rest = bits % 32;
    for (int i = kWords - 1; i >= 0; --i) {
        const int from = i - words;
        const uint32_t high = from >= 0 ? n.word[from] << rest : 0;
        const uint32_t low = rest && from >= 1 ? n.word[from - 1] >> (32 - rest) : 0;
        n.word[i] = high | low;
    }
}

int Compare(const BigNumber& a, const BigNumber& b) {
    for (int i = kWords - 1; i >= 0; --i)
        if (a.word[i] != b.word[i]) return a.word[i] < b.word[i] ? -1 : 1;
    return 0;
}

// a - b, where b is not above a.
void Subtract(BigNumber& a, const BigNumber& b) {
    uint32_t borrow = 0;
    for (int i = 0; i < kWords; ++i) {
        const uint64_t difference = static_cast<uint64_t>(a.word[i]) - b.word[i] - borrow;
        a.word[i] = static_cast<uint32_t>(difference);
        borrow = static_cast<uint32_t>(difference >> 63);
    }
}

int BitLength(const BigNumber& n) {
    for (int i = kWords - 1; i >= 0; --i)
        for (int bit = 31; bit >= 0; --bit)
            if (n.word[i] >> bit & 1) return 32 * i + bit + 1;
    return 0;
}

// The e with 2^e <= num / den < 2^(e+1).
int BinaryExponent(const BigNumber& num, const BigNumber& den) {
    const int e = BitLength(num) - BitLength(den);
    BigNumber a = num, b = den;
    if (e >= 0)
        ShiftLeft(b, e);
    else
        ShiftLeft(a, -e);
    return Compare(a, b) < 0 ? e - 1 : e;
}

constexpr int kSignificandBits = 24;

// num / den, below 2^24, rounded to the nearest whole number, ties to even.
uint32_t RoundedQuotient(BigNumber num, const BigNumber& den) {
    uint32_t quotient = 0;
    for (int bit = kSignificandBits - 1; bit >= 0; --bit) {
        BigNumber part = den;
        ShiftLeft(part, bit);
        if (Compare(num, part) < 0) continue;
        Subtract(num, part);
        quotient |= 1u << bit;
    }
    ShiftLeft(num, 1);  // twice the remainder against the divisor
    const int half = Compare(num, den);
    if (half > 0 || (half == 0 && (quotient & 1))) ++quotient;
    return quotient;
}

// More digits than any midpoint of two floats has (at most 113 significant
// ones), so a longer value rounds as its first digits followed by a 1 do.
constexpr int kKeptDigits = 120;
constexpr int kExponentLimit = 100000;  // far beyond every float, without overflow

struct DecimalDigits {
    BigNumber digits;  // the first kKeptDigits significant digits
    int exponent;      // value = digits x 10^exponent, the dropped digits aside
    int count;         // digits read, significant or not
    int kept;          // significant digits in `digits`
    bool dropped;      // a non-zero digit beyond them
};

bool IsBlank(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }
bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

const wchar_t* ReadDigits(const wchar_t* p, bool afterPoint, DecimalDigits& d) {
    for (; IsDigit(*p); ++p, ++d.count) {
        const uint32_t digit = static_cast<uint32_t>(*p - L'0');
        if (d.kept == kKeptDigits) {
            d.dropped |= digit != 0;
            if (!afterPoint) ++d.exponent;
            continue;
        }
        MultiplyAdd(d.digits, 10, digit);
        if (d.kept || digit) ++d.kept;
        if (afterPoint) --d.exponent;
    }
    return p;
}

const wchar_t* ReadExponent(const wchar_t* p, int& exponent) {
    if (*p != L'e' && *p != L'E') return p;
    ++p;
    bool negative = false;
    if (*p == L'+' || *p == L'-') negative = *p++ == L'-';
    if (!IsDigit(*p)) return nullptr;
    int value = 0;
    for (; IsDigit(*p); ++p) {
        if (value < kExponentLimit) value = value * 10 + (*p - L'0');
    }
    exponent += negative ? -value : value;
    return p;
}

constexpr uint32_t kSignBit = 0x80000000u, kInfinityBits = 0x7F800000u;
constexpr int kLeastExponent = -149;  // of the smallest float, 2^-149
constexpr int kLargestExponent = 127;

// The bits of the float nearest to the digits' value, ties to the even one.
uint32_t NearestFloatBits(DecimalDigits d) {
    if (d.kept == 0) return 0;
    if (d.dropped) {
        MultiplyAdd(d.digits, 10, 1);
        ++d.kept;
        --d.exponent;
    }
    // 10^(decimalLength - 1) <= value < 10^decimalLength; the float midpoint
    // next to 0 is 2^-150 (above 10^-46), the one next to infinity below 10^39.
    const int decimalLength = d.kept + d.exponent;
    if (decimalLength <= -46) return 0;
    if (decimalLength > 39) return kInfinityBits;

    BigNumber num = d.digits, den = {{1}};
    for (int i = 0; i < d.exponent; ++i) MultiplyAdd(num, 10, 0);
    for (int i = 0; i < -d.exponent; ++i) MultiplyAdd(den, 10, 0);
    const int e = BinaryExponent(num, den);
    if (e > kLargestExponent) return kInfinityBits;
    // The value in units of the float's last place, 2^unit: 24 bits, fewer below the normal range.
    const int unit = std::max(e - (kSignificandBits - 1), kLeastExponent);
    if (unit >= 0)
        ShiftLeft(den, unit);
    else
        ShiftLeft(num, -unit);
    // A significand rounded up to 2^24 carries into the exponent field, up to infinity.
    return RoundedQuotient(num, den) + (static_cast<uint32_t>(unit - kLeastExponent) << (kSignificandBits - 1));
}

}  // namespace

bool ParseDecimalFloat(const wchar_t* text, float* value) {
    const wchar_t* p = text;
    while (IsBlank(*p)) ++p;
    bool negative = false;
    if (*p == L'+' || *p == L'-') negative = *p++ == L'-';
    DecimalDigits d = {};
    p = ReadDigits(p, false, d);
    if (*p == L'.') p = ReadDigits(p + 1, true, d);
    if (d.count == 0) return false;
    p = ReadExponent(p, d.exponent);
    if (!p || *p != L'\0') return false;
    const uint32_t bits = NearestFloatBits(d) | (negative ? kSignBit : 0);
    memcpy(value, &bits, sizeof bits);
    return true;
}
