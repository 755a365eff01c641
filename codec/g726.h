// G.711 mu-law and G.726 32 kbit/s ADPCM coding, in the integer arithmetic of the standard's blocks.
// Portable C++: no Windows dependency, so the same code builds into VXADP32.dll and into the native
// sanitizer tests, the fuzzer and the benchmark.
#pragma once

#include <cstddef>
#include <cstdint>

namespace codec {

// One coder's memory between samples. Field order, widths and the absence of padding follow the
// library's documented state block (52 bytes), so a block from the Windows local heap has that size.
// The intermediate values of one sample (sez, sigpk, dqs, ds, dsx) are locals of the coding call,
// not module-wide variables: one state per thread is safe and nothing else is shared.
#pragma pack(push, 2)
struct AdpcmState {
  uint16_t reserved;
  int16_t a1;        // pole-predictor coefficients
  int16_t a2;
  uint16_t ap;       // speed-control parameter (10 bits)
  int16_t b[6];      // zero-predictor coefficients b1..b6
  uint16_t dml;      // long-term average of F(I) (14 bits)
  uint16_t dms;      // short-term average of F(I) (12 bits)
  uint16_t dq[6];    // last six quantized differences in floating format, dq[0] the newest
  uint16_t pk1, pk2; // signs of the last two partial signals (dq + sez)
  uint16_t sr1, sr2; // last two reconstructed signals in floating format, sr1 the newer
  uint16_t td;       // tone detector
  uint32_t yl;       // slow (locked) scale factor (19 bits)
  uint16_t yu;       // fast (unlocked) scale factor (13 bits)
};
#pragma pack(pop)

static_assert(sizeof(AdpcmState) == 52, "documented state block size");
static_assert(offsetof(AdpcmState, dq) == 24 && offsetof(AdpcmState, yl) == 46 &&
                  offsetof(AdpcmState, yu) == 50,
              "documented state block layout");

// Bounds the state update keeps (LIMB, LIMC, LIMD); the tests and the fuzzer check them.
constexpr int kYuMin = 544;
constexpr int kYuMax = 5120;
constexpr int kA2Limit = 12288;
constexpr int kA1Sum = 15360;  // a1 stays within a2 - kA1Sum .. kA1Sum - a2

// Fills a state with the reset values of a new stream.
void adpcmReset(AdpcmState& state);

// G.726 encoder: sl is a 14-bit two's complement sample in the low 14 bits; returns the code I (0..15).
int g726Encode(AdpcmState& state, int sl);

// G.726 decoder: code I in the low 4 bits; returns the mu-law byte after the synchronous coding adjustment.
uint8_t g726Decode(AdpcmState& state, int code);

// nbits(m): number of significant bits of m (0 for 0), for m below 2^31. Counting on 2m + 1 makes 0 an
// ordinary case: one bit-scan, no branch.
inline int nbits(uint32_t m) {
#if defined(__GNUC__) || defined(__clang__)
  return 31 - __builtin_clz(m << 1 | 1);
#else
  int n = 0;
  for (; m; m >>= 1) ++n;
  return n;
#endif
}

// G.711 COMPRESS: a linear value on the 14-bit scale (any int; a 16-bit value in practice) to mu-law.
// The magnitude is taken without wrapping, so -32768 clips to 0x00 like every other large negative value.
inline uint8_t compress(int v) {
  int m = v < 0 ? -v : v;
  int c = m + 33;
  if (c > 8191) c = 8191;
  int seg = nbits(static_cast<uint32_t>(c)) - 6;  // c >= 33, so seg is 0..7
  int code = ~((seg << 4) | ((c >> (seg + 1)) & 15)) & 0xFF;
  return static_cast<uint8_t>(v < 0 ? code & 0x7F : code);
}

// G.711 EXPAND: mu-law byte to a 14-bit sample, returned sign-extended (-8031..8031).
inline int expand(uint8_t s) {
  int t = ((((~s) & 15) * 2 + 33) << (((s >> 4) & 7) ^ 7)) - 33;
  return (s & 0x80) ? t : -t;
}

}  // namespace codec
