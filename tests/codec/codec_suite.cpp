// Conformance of the library's ten operations: the ITU-T G.726 32 kbit/s mu-law sequences, the interface
// vectors, block decoding with the state carried across calls, and the rate converters' positions,
// truncation and wrapping. Runs against every binding of codec_api.h.
#include <algorithm>
#include <vector>

#include "codec_api.h"
#include "test_data.h"

namespace codec_test {
namespace {

int16_t low16(int32_t v) { return static_cast<int16_t>(static_cast<uint16_t>(v)); }
uint8_t highByteSignInverted(int16_t v) { return static_cast<uint8_t>((static_cast<uint16_t>(v) >> 8) ^ 0x80); }

// One codec state per stream, released when the stream ends.
class Stream {
 public:
  explicit Stream(const CodecApi* api) : api_(api), state_(api->adpcmOpen()) {}
  ~Stream() {
    if (state_) api_->adpcmClose(state_);
  }
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;

  void* get() const { return state_; }
  int encode(int16_t sample) { return api_->adpcmEncode(state_, sample) & 0xFFFF; }
  int16_t decode(uint32_t code) { return low16(api_->adpcmDecode(state_, code)); }

 private:
  const CodecApi* api_;
  void* state_;
};

template <class T>
std::vector<int16_t> expandAll(const CodecApi* api, const std::vector<T>& ulaw) {
  std::vector<int16_t> samples(ulaw.size());
  for (size_t i = 0; i < ulaw.size(); ++i) samples[i] = low16(api->pcmDecode(ulaw[i]));
  return samples;
}

std::vector<uint8_t> toEightBit(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> bytes(samples.size());
  std::transform(samples.begin(), samples.end(), bytes.begin(), highByteSignInverted);
  return bytes;
}

template <class T>
std::vector<uint8_t> asCodes(const std::vector<T>& values) {
  return std::vector<uint8_t>(values.begin(), values.end());
}

// Decodes codes sample by sample, as 16-bit packed blocks and as 8-bit packed blocks, each from a new state.
void expectDecodes(const CodecApi* api, const std::vector<uint8_t>& codes, const std::vector<int16_t>& want) {
  ASSERT_EQ(codes.size() % 2, 0u);
  {
    Stream stream(api);
    std::vector<int16_t> got(codes.size());
    for (size_t i = 0; i < codes.size(); ++i) got[i] = stream.decode(codes[i]);
    EXPECT_TRUE(sameSequence(got, want)) << "adpcmDecode";
  }
  const std::vector<uint8_t> packed = packCodes(codes);
  const uint32_t n = static_cast<uint32_t>(packed.size());
  {
    Stream stream(api);
    std::vector<int16_t> got(codes.size());
    EXPECT_EQ(api->adpcmDecWord(stream.get(), packed.data(), n, got.data()), 4 * n);
    EXPECT_TRUE(sameSequence(got, want)) << "adpcmDecWord";
  }
  {
    Stream stream(api);
    std::vector<uint8_t> got(codes.size());
    EXPECT_EQ(api->adpcmDecByte(stream.get(), packed.data(), n, got.data()), 2 * n);
    EXPECT_TRUE(sameSequence(got, toEightBit(want))) << "adpcmDecByte";
  }
}

TEST_P(CodecConformance, G711TablesMatchReferenceVectors) {
  const std::vector<int16_t> expand = readSamples("codec-vectors/g711_ulaw_expand.s16le");
  ASSERT_EQ(expand.size(), 256u);
  std::vector<int16_t> decoded(256);
  for (uint32_t u = 0; u < 256; ++u) decoded[u] = low16(api->pcmDecode(u));
  EXPECT_TRUE(sameSequence(decoded, expand));

  const std::vector<uint8_t> compress = readBytes("codec-vectors/g711_ulaw_compress14.u8");
  ASSERT_EQ(compress.size(), 16384u);
  std::vector<uint8_t> encoded(16384);
  for (int x = -8192; x < 8192; ++x) encoded[x + 8192] = static_cast<uint8_t>(api->pcmEncode(x) & 0xFFFF);
  EXPECT_TRUE(sameSequence(encoded, compress));
}

TEST_P(CodecConformance, G711ClipsAndReadsOnlyTheLowBits) {
  EXPECT_EQ(api->pcmEncode(0) & 0xFFFF, 0xFFu);
  EXPECT_EQ(api->pcmEncode(-1) & 0xFFFF, 0x7Eu);
  for (int32_t big : {8158, 8191, 20000, 32767}) EXPECT_EQ(api->pcmEncode(big) & 0xFFFF, 0x80u) << big;
  // -32768 is the largest negative magnitude, not a wrapped zero.
  for (int32_t big : {-8158, -8192, -20000, -32768}) EXPECT_EQ(api->pcmEncode(big) & 0xFFFF, 0x00u) << big;
  EXPECT_EQ(api->pcmEncode(0x7FFF0005), api->pcmEncode(5));
  EXPECT_EQ(api->pcmEncode(0x0001FFFF) & 0xFFFF, 0x7Eu);  // low 16 bits: -1
  EXPECT_EQ(low16(api->pcmDecode(0xFF)), 0);
  EXPECT_EQ(low16(api->pcmDecode(0x7F)), 0);
  EXPECT_EQ(low16(api->pcmDecode(0x180)), low16(api->pcmDecode(0x80)));
  EXPECT_EQ(low16(api->pcmDecode(0x00)), -32124);
}

TEST_P(CodecConformance, ItuEncoderSequences) {
  const struct {
    const char* input;
    const char* codes;
  } sequences[] = {{"itu-g726/nrm.m", "itu-g726/rn32fm.i"}, {"itu-g726/ovr.m", "itu-g726/rv32fm.i"}};
  for (const auto& sequence : sequences) {
    const std::vector<int16_t> input = expandAll(api, readWords(sequence.input));
    const std::vector<uint16_t> want = readWords(sequence.codes);
    Stream stream(api);
    std::vector<uint16_t> got(input.size());
    for (size_t i = 0; i < input.size(); ++i) got[i] = static_cast<uint16_t>(stream.encode(input[i]));
    EXPECT_TRUE(sameSequence(got, want)) << sequence.codes;
  }
}

TEST_P(CodecConformance, ItuDecoderSequences) {
  const struct {
    const char* codes;
    const char* output;
  } sequences[] = {{"itu-g726/rn32fm.i", "itu-g726/rn32fm.o"},
                   {"itu-g726/rv32fm.i", "itu-g726/rv32fm.o"},
                   {"itu-g726/i32", "itu-g726/ri32fm.o"}};
  for (const auto& sequence : sequences) {
    SCOPED_TRACE(sequence.codes);
    expectDecodes(api, asCodes(readWords(sequence.codes)), expandAll(api, readWords(sequence.output)));
  }
}

TEST_P(CodecConformance, InterfaceVectors) {
  const std::vector<int16_t> input = readSamples("codec-vectors/sine1k.in.s16le");
  const std::vector<uint8_t> sineCodes = readBytes("codec-vectors/sine1k.codes.u8");
  Stream encoder(api);
  std::vector<uint8_t> encoded(input.size());
  for (size_t i = 0; i < input.size(); ++i) encoded[i] = static_cast<uint8_t>(encoder.encode(input[i]));
  EXPECT_TRUE(sameSequence(encoded, sineCodes));

  for (const char* name : {"sine1k", "randcodes"}) {
    SCOPED_TRACE(name);
    const std::string base = std::string("codec-vectors/") + name;
    const std::vector<uint8_t> codes = readBytes(base + ".codes.u8");
    EXPECT_TRUE(sameSequence(readBytes(base + ".adpcm"), packCodes(codes)));
    const std::vector<int16_t> want = readSamples(base + ".dec.s16le");
    EXPECT_TRUE(sameSequence(want, expandAll(api, readBytes(base + ".dec.ulaw"))));
    expectDecodes(api, codes, want);
  }
}

TEST_P(CodecConformance, BlocksOfAnySizeCarryTheStateAcross) {
  const std::vector<uint8_t> packed = readBytes("codec-vectors/randcodes.adpcm");
  const std::vector<int16_t> want = readSamples("codec-vectors/randcodes.dec.s16le");
  const std::vector<uint8_t> want8 = toEightBit(want);
  ASSERT_EQ(want.size(), 2 * packed.size());
  Lcg rng{7};
  Stream stream(api);
  for (size_t pos = 0; pos < packed.size();) {
    const uint32_t n = std::min<uint32_t>(rng.below(40), static_cast<uint32_t>(packed.size() - pos));
    const auto from = want.begin() + 2 * pos;
    switch (rng.below(3)) {
      case 0: {
        std::vector<int16_t> got(2 * n);
        ASSERT_EQ(api->adpcmDecWord(stream.get(), &packed[pos], n, got.data()), 4 * n);
        ASSERT_TRUE(sameSequence(got, std::vector<int16_t>(from, from + 2 * n))) << "word block at " << pos;
        break;
      }
      case 1: {
        std::vector<uint8_t> got(2 * n);
        ASSERT_EQ(api->adpcmDecByte(stream.get(), &packed[pos], n, got.data()), 2 * n);
        const auto from8 = want8.begin() + 2 * pos;
        ASSERT_TRUE(sameSequence(got, std::vector<uint8_t>(from8, from8 + 2 * n))) << "byte block at " << pos;
        break;
      }
      default: {
        std::vector<int16_t> got;
        for (uint32_t j = 0; j < n; ++j) {
          got.push_back(stream.decode(packed[pos + j] >> 4));
          got.push_back(stream.decode(packed[pos + j] & 15));
        }
        ASSERT_TRUE(sameSequence(got, std::vector<int16_t>(from, from + 2 * n))) << "single codes at " << pos;
      }
    }
    pos += n;
  }
}

TEST_P(CodecConformance, StreamsOnSeparateStatesDoNotInterfere) {
  const std::vector<int16_t> input = readSamples("codec-vectors/sine1k.in.s16le");
  const std::vector<uint8_t> sineCodes = readBytes("codec-vectors/sine1k.codes.u8");
  const std::vector<uint8_t> randCodes = readBytes("codec-vectors/randcodes.codes.u8");
  const std::vector<int16_t> randDecoded = readSamples("codec-vectors/randcodes.dec.s16le");
  Stream encoder(api);
  Stream decoder(api);
  ASSERT_NE(encoder.get(), decoder.get());
  for (size_t i = 0; i < input.size(); ++i) {
    ASSERT_EQ(encoder.encode(input[i]), sineCodes[i]) << i;
    ASSERT_EQ(decoder.decode(randCodes[i]), randDecoded[i]) << i;
  }
}

TEST_P(CodecConformance, EmptyBlockWritesNothingAndKeepsTheState) {
  Stream stream(api);
  const uint8_t packed[1] = {0x7F};
  int16_t words[2] = {0x5A5A, 0x5A5A};
  uint8_t bytes[2] = {0x5A, 0x5A};
  EXPECT_EQ(api->adpcmDecWord(stream.get(), packed, 0, words), 0u);
  EXPECT_EQ(api->adpcmDecByte(stream.get(), packed, 0, bytes), 0u);
  EXPECT_EQ(words[0], 0x5A5A);
  EXPECT_EQ(bytes[0], 0x5A);
  // Still a fresh stream: the first randcodes samples come out as from a new state.
  const std::vector<uint8_t> codes = readBytes("codec-vectors/randcodes.codes.u8");
  const std::vector<int16_t> want = readSamples("codec-vectors/randcodes.dec.s16le");
  for (size_t i = 0; i < 16; ++i) EXPECT_EQ(stream.decode(codes[i]), want[i]) << i;
}

// --- rate converters ---

constexpr int16_t kGuard = 0x5A5A;

// Output buffer sized exactly as the callers' rule says, plus one guard sample that must survive.
struct Converted {
  uint32_t returned;
  std::vector<int16_t> samples;
  bool guardIntact;
};

Converted convert(const CodecApi* api, uint32_t step, const std::vector<int16_t>& in, uint32_t divisor,
                  size_t expected) {
  std::vector<int16_t> out(expected + 1, kGuard);
  Converted c;
  c.returned = api->adpcmDecWFreq(step, in.data(), static_cast<uint32_t>(in.size()), divisor, out.data());
  c.guardIntact = out[expected] == kGuard;
  out.resize(std::min<size_t>(c.returned, expected));
  c.samples = out;
  return c;
}

// Outputs that the callers' sizing rule promises: 1 + positions step, 2 step, ... below (count - 1) divisor.
uint32_t countByPositions(uint32_t step, uint32_t count, uint32_t divisor) {
  const uint64_t end = static_cast<uint64_t>(count - 1) * divisor;
  uint32_t n = 1;
  for (uint64_t p = step; p < end; p += step) ++n;
  return n;
}

TEST_P(CodecConformance, RateConverterInterpolatesTruncatingTowardZero) {
  // step 1, divisor 2: a, a + (b - a)/2, b, b + (c - b)/2, with -15/2 = -7 (not -8)
  Converted c = convert(api, 1, {10, -5, 4}, 2, 4);
  EXPECT_EQ(c.returned, 4u);
  EXPECT_TRUE(c.guardIntact);
  EXPECT_EQ(c.samples, (std::vector<int16_t>{10, 3, -5, -1}));

  c = convert(api, 1, {0, 30000, 0}, 3, 6);
  EXPECT_EQ(c.returned, 6u);
  EXPECT_EQ(c.samples, (std::vector<int16_t>{0, 10000, 20000, 30000, 20000, 10000}));

  // two thirds of the way from 7 to 0: 7 + (-14 / 3) = 7 - 4 = 3 (flooring would give 2)
  c = convert(api, 2, {7, 0}, 3, 2);
  EXPECT_EQ(c.samples, (std::vector<int16_t>{7, 3}));
}

TEST_P(CodecConformance, RateConverterStepsOverSamples) {
  const std::vector<int16_t> in = {-450, -350, -250, -150, -50, 50, 150, 250, 350, 450};
  Converted c = convert(api, 2, in, 1, 5);
  EXPECT_EQ(c.returned, 5u);
  EXPECT_TRUE(c.guardIntact);
  EXPECT_EQ(c.samples, (std::vector<int16_t>{-450, -250, -50, 150, 350}));

  c = convert(api, 7, {1234}, 3, 1);  // a single input sample
  EXPECT_EQ(c.returned, 1u);
  EXPECT_TRUE(c.guardIntact);
  EXPECT_EQ(c.samples, (std::vector<int16_t>{1234}));
}

TEST_P(CodecConformance, RateConverterRefusesZeroArguments) {
  const int16_t in[3] = {100, 200, 300};
  int16_t words[4] = {kGuard, kGuard, kGuard, kGuard};
  uint8_t bytes[4] = {0x5A, 0x5A, 0x5A, 0x5A};
  EXPECT_EQ(api->adpcmDecWFreq(0, in, 3, 2, words), 0u);
  EXPECT_EQ(api->adpcmDecWFreq(1, nullptr, 3, 2, words), 0u);
  EXPECT_EQ(api->adpcmDecWFreq(1, in, 0, 2, words), 0u);
  EXPECT_EQ(api->adpcmDecWFreq(1, in, 3, 0, words), 0u);
  EXPECT_EQ(api->adpcmDecWFreq(1, in, 3, 2, nullptr), 0u);
  EXPECT_EQ(api->adpcmDecBFreq(0, in, 3, 2, bytes), 0u);
  EXPECT_EQ(api->adpcmDecBFreq(1, nullptr, 3, 2, bytes), 0u);
  EXPECT_EQ(api->adpcmDecBFreq(1, in, 0, 2, bytes), 0u);
  EXPECT_EQ(api->adpcmDecBFreq(1, in, 3, 0, bytes), 0u);
  EXPECT_EQ(api->adpcmDecBFreq(1, in, 3, 2, nullptr), 0u);
  for (int16_t w : words) EXPECT_EQ(w, kGuard);
  for (uint8_t b : bytes) EXPECT_EQ(b, 0x5A);
}

TEST_P(CodecConformance, RateConverterWrapsLikeItsRegisters) {
  // The difference -60000 wraps to 5536 in 16 bits; 30000 + 2768 wraps to -32768 when stored.
  Converted c = convert(api, 1, {30000, -30000}, 2, 2);
  EXPECT_EQ(c.samples, (std::vector<int16_t>{30000, -32768}));
  // 30000 * 99999 wraps in 32 bits to -1294997296; / 100000 truncates to -12949.
  c = convert(api, 99999, {0, 30000}, 100000, 2);
  EXPECT_EQ(c.samples, (std::vector<int16_t>{0, -12949}));
}

TEST_P(CodecConformance, RateConverterWritesExactlyTheCallersSize) {
  Lcg rng{11};
  for (uint32_t step = 1; step <= 7; ++step) {
    for (uint32_t divisor = 1; divisor <= 7; ++divisor) {
      for (uint32_t count = 1; count <= 9; ++count) {
        std::vector<int16_t> in(count);
        for (int16_t& v : in) v = static_cast<int16_t>(static_cast<int>(rng.below(20001)) - 10000);
        const uint32_t expected = countByPositions(step, count, divisor);
        const Converted c = convert(api, step, in, divisor, expected);
        ASSERT_EQ(c.returned, expected) << step << "/" << divisor << " x" << count;
        ASSERT_TRUE(c.guardIntact) << step << "/" << divisor << " x" << count;
        for (uint32_t k = 0; k < expected; ++k) {
          // each output lies on the segment between the two input samples around its position
          const uint64_t p = static_cast<uint64_t>(k) * step;
          const size_t i = static_cast<size_t>(p / divisor);
          const int16_t lo = std::min(in[i], in[std::min<size_t>(i + 1, count - 1)]);
          const int16_t hi = std::max(in[i], in[std::min<size_t>(i + 1, count - 1)]);
          EXPECT_TRUE(c.samples[k] >= lo && c.samples[k] <= hi) << k;
          if (p % divisor == 0) {
            EXPECT_EQ(c.samples[k], in[i]) << k;
          }
        }
      }
    }
  }
}

TEST_P(CodecConformance, RateConverterPositionsPastFourBillion) {
  // Positions 3e9 and 6e9 lie below 9 * 1e9; the second one is past 2^32.
  std::vector<int16_t> in(10);
  for (int i = 0; i < 10; ++i) in[i] = static_cast<int16_t>(100 * i);
  const Converted c = convert(api, 3000000000u, in, 1000000000u, 3);
  EXPECT_EQ(c.returned, 3u);
  EXPECT_TRUE(c.guardIntact);
  EXPECT_EQ(c.samples, (std::vector<int16_t>{0, 300, 600}));
}

TEST_P(CodecConformance, RateConverterTakesHugeDivisorsAsUnsigned) {
  // 1 * 2^31 wraps to -2^31 in 32 bits; divided by 4294967295 (not by -1) it truncates to 0.
  const Converted c = convert(api, 0x80000000u, {5, 6}, 0xFFFFFFFFu, 2);
  EXPECT_EQ(c.returned, 2u);
  EXPECT_EQ(c.samples, (std::vector<int16_t>{5, 5}));
}

TEST_P(CodecConformance, ByteConverterKeepsHighByteWithSignInverted) {
  const std::vector<int16_t> in = {0, -32768, 32767, -1, 256, -256, 0};
  std::vector<uint8_t> out(7, 0x5A);
  EXPECT_EQ(api->adpcmDecBFreq(1, in.data(), 7, 1, out.data()), 6u);
  EXPECT_EQ(out, (std::vector<uint8_t>{0x80, 0x00, 0xFF, 0x7F, 0x81, 0x7F, 0x5A}));

  // Same positions and interpolation as the 16-bit converter.
  Lcg rng{5};
  std::vector<int16_t> noise(500);
  for (int16_t& v : noise) v = static_cast<int16_t>(rng.next() >> 16);
  const struct {
    uint32_t step, divisor;
  } ratios[] = {{147, 160}, {160, 147}, {1, 3}, {5, 2}, {8000, 11025}};
  for (const auto& r : ratios) {
    const uint32_t expected = countByPositions(r.step, 500, r.divisor);
    std::vector<int16_t> words(expected);
    std::vector<uint8_t> bytes(expected);
    ASSERT_EQ(api->adpcmDecWFreq(r.step, noise.data(), 500, r.divisor, words.data()), expected);
    ASSERT_EQ(api->adpcmDecBFreq(r.step, noise.data(), 500, r.divisor, bytes.data()), expected);
    EXPECT_TRUE(sameSequence(bytes, toEightBit(words))) << r.step << "/" << r.divisor;
  }
}

}  // namespace
}  // namespace codec_test
