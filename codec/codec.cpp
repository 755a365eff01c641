#include "codec.h"

namespace codec {
namespace {

inline int sext16(int x) { return ((x & 0xFFFF) ^ 0x8000) - 0x8000; }

// The 32-bit pattern read as two's complement; defined for every value, unlike a narrowing cast.
inline int32_t toSigned32(uint32_t x) {
  return x < 0x80000000u ? static_cast<int32_t>(x) : -static_cast<int32_t>(~x) - 1;
}

inline int16_t sample16(int x14) { return static_cast<int16_t>(x14 * 4); }

// 8-bit offset binary: the high byte of the 16-bit pattern with its sign bit inverted.
inline uint8_t sample8(int x16) { return static_cast<uint8_t>(((x16 >> 8) & 0xFF) ^ 0x80); }

// Shared walk of both rate converters. The position p = i * divisor + f advances by step without a
// division per sample, and i is 64-bit so positions past 2^32 stay exact: the output ends where the
// caller's sizing rule says it does whatever the step, instead of wrapping around and running on.
template <class Store>
uint32_t convertRate(uint32_t step, const int16_t* in, uint32_t count, uint32_t divisor, Store store) {
  store(0, in[0]);
  uint32_t k = 1;
  const uint32_t whole = step / divisor;
  const uint32_t part = step % divisor;
  const uint64_t last = count - 1;
  uint64_t i = whole;
  uint32_t f = part;
  while (i < last) {
    const int a = in[i];
    // The difference wraps at 16 bits and the product at 32 bits, as the 16/32-bit arithmetic it
    // models does; both wraps are spelled out so that no input reaches undefined behaviour.
    const int d = sext16(in[i + 1] - a);
    const int32_t prod = toSigned32(static_cast<uint32_t>(d) * f);
    // Truncating division by the divisor read as the unsigned number it is.
    const int32_t q = divisor <= 0x7FFFFFFFu
                          ? prod / static_cast<int32_t>(divisor)
                          : static_cast<int32_t>(static_cast<int64_t>(prod) / static_cast<int64_t>(divisor));
    store(k, sext16(static_cast<int>(static_cast<uint32_t>(a) + static_cast<uint32_t>(q))));
    ++k;
    i += whole;
    if (f >= divisor - part) {
      f -= divisor - part;
      ++i;
    } else {
      f += part;
    }
  }
  return k;
}

}  // namespace

uint8_t pcmEncode(int32_t sample) { return compress(sext16(sample)); }

int16_t pcmDecode(uint32_t ulaw) { return sample16(expand(static_cast<uint8_t>(ulaw))); }

int adpcmEncode(AdpcmState& state, int16_t sample) {
  // Dropping the two low bits gives the 14-bit sample the coder works on.
  return g726Encode(state, sample >> 2);
}

int16_t adpcmDecode(AdpcmState& state, uint32_t code) {
  return sample16(expand(g726Decode(state, static_cast<int>(code & 15))));
}

uint32_t adpcmDecWord(AdpcmState& state, const uint8_t* in, uint32_t n, int16_t* out) {
  for (uint32_t j = 0; j < n; ++j) {
    out[2 * j] = adpcmDecode(state, in[j] >> 4);
    out[2 * j + 1] = adpcmDecode(state, in[j] & 15);
  }
  return 4 * n;
}

uint32_t adpcmDecByte(AdpcmState& state, const uint8_t* in, uint32_t n, uint8_t* out) {
  for (uint32_t j = 0; j < n; ++j) {
    out[2 * j] = sample8(expand(g726Decode(state, in[j] >> 4)) * 4);
    out[2 * j + 1] = sample8(expand(g726Decode(state, in[j] & 15)) * 4);
  }
  return 2 * n;
}

uint32_t adpcmDecWFreq(uint32_t step, const int16_t* in, uint32_t count, uint32_t divisor, int16_t* out) {
  if (!step || !in || !count || !divisor || !out) return 0;
  return convertRate(step, in, count, divisor,
                     [out](uint32_t k, int v) { out[k] = static_cast<int16_t>(v); });
}

uint32_t adpcmDecBFreq(uint32_t step, const int16_t* in, uint32_t count, uint32_t divisor, uint8_t* out) {
  if (!step || !in || !count || !divisor || !out) return 0;
  return convertRate(step, in, count, divisor, [out](uint32_t k, int v) { out[k] = sample8(v); });
}

uint64_t rateConvertedCount(uint32_t step, uint32_t count, uint32_t divisor) {
  if (!step || !count || !divisor) return 0;
  const uint64_t span = static_cast<uint64_t>(count - 1) * divisor;
  return span ? (span + step - 1) / step : 1;
}

}  // namespace codec
