// Codec benchmark: our G.726 32 kbit/s encoder, decoder and packed block decoder side by side with
// spandsp's on the same input. Natively it prints nanoseconds per sample (best of several runs); under
// callgrind it runs each section once between CALLGRIND_ZERO_STATS and CALLGRIND_DUMP_STATS_AT, so that
// bench/run-codec-bench.sh can read repeatable instruction counts per section from the dumps.
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

// After <cmath>: telephony.h defines lrint and friends as macros when they seem to be missing.
#include <spandsp/telephony.h>
#include <spandsp/g726.h>

#include "codec.h"

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define RUNNING_ON_VALGRIND 0
#define CALLGRIND_ZERO_STATS
#define CALLGRIND_DUMP_STATS_AT(name)
#endif

namespace {

constexpr int kSamples = 64000;  // 8 s at 8 kHz

// Speech-like test signal: a few drifting harmonics under a syllable envelope, plus a little noise.
std::vector<int16_t> testSignal() {
  std::vector<int16_t> x(kSamples);
  uint32_t seed = 1;
  const double pi = 3.14159265358979;
  for (int n = 0; n < kSamples; ++n) {
    const double t = n / 8000.0;
    const double envelope = 0.55 + 0.45 * std::sin(2 * pi * 3.1 * t);
    const double f0 = 140 + 40 * std::sin(2 * pi * 0.7 * t);
    double v = 0;
    for (int h = 1; h <= 6; ++h) v += std::sin(2 * pi * f0 * h * t + h) / h;
    seed = seed * 1103515245u + 12345u;
    const double noise = (static_cast<int>(seed >> 16 & 0x7FFF) - 16384) / 16384.0;
    x[n] = static_cast<int16_t>(std::lround(9000 * envelope * v + 600 * noise));
  }
  return x;
}

struct Section {
  const char* name;
  const char* unit;  // what one "sample" is
  std::function<void()> run;
};

double nanosecondsPerSample(const Section& s, int repetitions) {
  double best = 1e30;
  for (int r = 0; r < repetitions; ++r) {
    const auto start = std::chrono::steady_clock::now();
    s.run();
    const std::chrono::duration<double, std::nano> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count() / kSamples);
  }
  return best;
}

}  // namespace

int main() {
  const std::vector<int16_t> input = testSignal();

  // The code stream both decoders get: ours and spandsp's encoders agree on it (checked below).
  std::vector<uint8_t> codes(kSamples);
  {
    codec::AdpcmState s;
    codec::adpcmReset(s);
    for (int n = 0; n < kSamples; ++n) codes[n] = static_cast<uint8_t>(codec::adpcmEncode(s, input[n]));
  }
  std::vector<uint8_t> packed(kSamples / 2);
  for (int j = 0; j < kSamples / 2; ++j) packed[j] = static_cast<uint8_t>(codes[2 * j] << 4 | codes[2 * j + 1]);
  // spandsp's left packing puts the first code in the low bits; give it the same codes in its order.
  std::vector<uint8_t> packedForSpandsp(kSamples / 2);
  for (int j = 0; j < kSamples / 2; ++j)
    packedForSpandsp[j] = static_cast<uint8_t>(codes[2 * j + 1] << 4 | codes[2 * j]);

  std::vector<uint8_t> codesOut(kSamples);
  std::vector<int16_t> pcmOut(kSamples);
  g726_state_t* sp = g726_init(nullptr, 32000, G726_ENCODING_LINEAR, G726_PACKING_NONE);

  const Section sections[] = {
      {"ours_encode", "sample", [&] {
         codec::AdpcmState s;
         codec::adpcmReset(s);
         for (int n = 0; n < kSamples; ++n) codesOut[n] = static_cast<uint8_t>(codec::adpcmEncode(s, input[n]));
       }},
      {"spandsp_encode", "sample", [&] {
         g726_init(sp, 32000, G726_ENCODING_LINEAR, G726_PACKING_NONE);
         g726_encode(sp, codesOut.data(), input.data(), kSamples);
       }},
      {"ours_decode", "sample", [&] {
         codec::AdpcmState s;
         codec::adpcmReset(s);
         for (int n = 0; n < kSamples; ++n) pcmOut[n] = codec::adpcmDecode(s, codes[n]);
       }},
      // Our decoder applies the synchronous coding adjustment on its mu-law output; spandsp does that
      // only in its mu-law mode, so that is the like-for-like comparison.
      {"spandsp_decode_ulaw", "sample", [&] {
         g726_init(sp, 32000, G726_ENCODING_ULAW, G726_PACKING_NONE);
         g726_decode(sp, pcmOut.data(), codes.data(), kSamples);
       }},
      {"spandsp_decode_linear", "sample", [&] {
         g726_init(sp, 32000, G726_ENCODING_LINEAR, G726_PACKING_NONE);
         g726_decode(sp, pcmOut.data(), codes.data(), kSamples);
       }},
      {"ours_decword", "sample", [&] {
         codec::AdpcmState s;
         codec::adpcmReset(s);
         codec::adpcmDecWord(s, packed.data(), kSamples / 2, pcmOut.data());
       }},
      {"spandsp_decode_packed", "sample", [&] {
         g726_init(sp, 32000, G726_ENCODING_ULAW, G726_PACKING_LEFT);
         g726_decode(sp, pcmOut.data(), packedForSpandsp.data(), kSamples / 2);
       }},
  };

  // Same input, same codes: both encoders must agree or the comparison means nothing.
  sections[1].run();
  const bool encodersAgree = std::memcmp(codesOut.data(), codes.data(), kSamples) == 0;

  std::printf("samples %d\n", kSamples);
  std::printf("encoders_agree %s\n", encodersAgree ? "yes" : "no");
  if (RUNNING_ON_VALGRIND) {
    for (const Section& s : sections) {
      CALLGRIND_ZERO_STATS;
      s.run();
      CALLGRIND_DUMP_STATS_AT(s.name);
    }
    std::printf("callgrind_sections");
    for (const Section& s : sections) std::printf(" %s", s.name);
    std::printf("\n");
  } else {
    for (const Section& s : sections) std::printf("ns_per_sample %s %.2f\n", s.name, nanosecondsPerSample(s, 15));
  }
  g726_free(sp);
  return encodersAgree ? 0 : 1;
}
