// libFuzzer target for the parts that take caller data in bulk: the block decoders (packed bytes, any
// block sizes, the state carried across) and the rate converters (any step, divisor and samples whose
// output fits the caller's sizing rule). Checks, beyond ASan/UBSan: block output equals sample-by-sample
// decoding, the 8-bit path equals the 16-bit one, the encoder and decoder states stay identical, the
// state limits hold, and the converters write exactly the promised count at independently computed
// positions.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "codec.h"
#include "g726.h"

namespace {

class Input {
 public:
  Input(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
  size_t left() const { return static_cast<size_t>(end_ - p_); }
  uint8_t byte() { return p_ < end_ ? *p_++ : 0; }
  uint32_t u32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = v << 8 | byte();
    return v;
  }
  const uint8_t* take(size_t n) {
    const uint8_t* at = p_;
    p_ += n;
    return at;
  }

 private:
  const uint8_t* p_;
  const uint8_t* end_;
};

void require(bool condition) {
  if (!condition) std::abort();
}

void requireLimits(const codec::AdpcmState& s) {
  require(s.yu >= codec::kYuMin && s.yu <= codec::kYuMax);
  require(s.a2 >= -codec::kA2Limit && s.a2 <= codec::kA2Limit);
  require(s.a1 >= s.a2 - codec::kA1Sum && s.a1 <= codec::kA1Sum - s.a2);
}

uint8_t eightBit(int16_t v) { return static_cast<uint8_t>((static_cast<uint16_t>(v) >> 8) ^ 0x80); }

// Packed bytes in blocks of fuzzed sizes, alternately to 16-bit and 8-bit output, against a second
// state decoding code by code.
void blockDecoders(Input& in) {
  codec::AdpcmState blocks, single;
  codec::adpcmReset(blocks);
  codec::adpcmReset(single);
  while (in.left()) {
    const uint8_t control = in.byte();
    const uint32_t n = std::min<uint32_t>(control & 63, static_cast<uint32_t>(in.left()));
    const uint8_t* packed = in.take(n);
    // Exactly sized heap buffers, so that ASan sees any write past the 2 * n samples.
    std::unique_ptr<int16_t[]> reference(new int16_t[2 * n + 1]);
    for (uint32_t j = 0; j < n; ++j) {
      reference[2 * j] = codec::adpcmDecode(single, packed[j] >> 4);
      reference[2 * j + 1] = codec::adpcmDecode(single, packed[j] & 15);
    }
    if (control & 64) {
      std::unique_ptr<uint8_t[]> out(new uint8_t[2 * n + 1]);
      require(codec::adpcmDecByte(blocks, packed, n, out.get()) == 2 * n);
      for (uint32_t j = 0; j < 2 * n; ++j) require(out[j] == eightBit(reference[j]));
    } else {
      std::unique_ptr<int16_t[]> out(new int16_t[2 * n + 1]);
      require(codec::adpcmDecWord(blocks, packed, n, out.get()) == 4 * n);
      require(std::memcmp(out.get(), reference.get(), 2 * n * sizeof(int16_t)) == 0);
    }
    require(std::memcmp(&blocks, &single, sizeof blocks) == 0);
    requireLimits(blocks);
  }
}

// Fuzzed 16-bit samples through the encoder, its codes through a decoder: the states must stay equal.
void encoderDecoder(Input& in) {
  codec::AdpcmState encoder, decoder;
  codec::adpcmReset(encoder);
  codec::adpcmReset(decoder);
  while (in.left() >= 2) {
    const uint8_t* two = in.take(2);
    const int16_t sample = static_cast<int16_t>(two[0] << 8 | two[1]);
    const int code = codec::adpcmEncode(encoder, sample);
    require(code >= 0 && code < 16);
    codec::adpcmDecode(decoder, static_cast<uint32_t>(code));
    require(std::memcmp(&encoder, &decoder, sizeof encoder) == 0);
    requireLimits(encoder);
  }
}

void rateConverters(Input& in) {
  const uint8_t shape = in.byte();
  uint32_t step = in.u32();
  uint32_t divisor = in.u32();
  if (shape & 1) step &= 0xFFFF;  // small ratios are the common case; keep them frequent
  if (shape & 2) divisor &= 0xFFFF;
  const uint32_t count = static_cast<uint32_t>(in.left() / 2);
  std::vector<int16_t> samples(count);
  for (int16_t& v : samples) {
    const uint8_t* two = in.take(2);
    v = static_cast<int16_t>(two[0] << 8 | two[1]);
  }
  const uint64_t expected = codec::rateConvertedCount(step, count, divisor);
  if (expected > (1u << 16)) return;  // the caller could not have sized that output
  const int16_t* source = count ? samples.data() : nullptr;
  std::unique_ptr<int16_t[]> words(new int16_t[expected + 1]);
  std::unique_ptr<uint8_t[]> bytes(new uint8_t[expected + 1]);
  require(codec::adpcmDecWFreq(step, source, count, divisor, words.get()) == expected);
  require(codec::adpcmDecBFreq(step, source, count, divisor, bytes.get()) == expected);
  for (uint64_t k = 0; k < expected; ++k) {
    require(bytes[k] == eightBit(words[k]));
    // Position by plain division, independent of the converter's incremental walk.
    const uint64_t p = k * step;
    const uint64_t i = p / divisor;
    const uint32_t f = static_cast<uint32_t>(p % divisor);
    require(i < count);
    if (f == 0) require(words[k] == samples[i]);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in(data, size);
  switch (in.byte() % 3) {
    case 0:
      blockDecoders(in);
      break;
    case 1:
      encoderDecoder(in);
      break;
    default:
      rateConverters(in);
  }
  return 0;
}
