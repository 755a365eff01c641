// G.726 32 kbit/s ADPCM, block by block in the integer arithmetic of the standard. Each step carries the
// standard's block name. Where a register of the standard is masked to a few bits and the value provably
// fits (the state's fields never leave their ranges), the mask is left out and the comment says why;
// where a value can really wrap (the 16-bit sums, b1..b6), it wraps explicitly through sext16.
#include "g726.h"

#include <cstdlib>

namespace codec {
namespace {

static_assert((-1 >> 1) == -1, "the coder relies on arithmetic right shifts of negative values");

// Two's complement reading of the low 16 / 14 bits, in plain arithmetic.
inline int sext16(int x) { return ((x & 0xFFFF) ^ 0x8000) - 0x8000; }
inline int sext14(int x) { return ((x & 0x3FFF) ^ 0x2000) - 0x2000; }

inline int clamp(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

// k of I: the magnitude index 0..7 of a code; negative codes count down from 15.
inline int magnitudeIndex(int I) { return (I ^ ((I >> 3) * 7)) & 7; }

// RECONST: log of the quantized difference for each magnitude index (2048: a negative log, magnitude 0).
constexpr int kDqln[8] = {2048, 4, 135, 213, 273, 323, 373, 425};
// FUNCTF: weight of each magnitude index in the averages that steer the speed control.
constexpr int kFi[8] = {0, 0, 0, 1, 1, 1, 3, 7};
// FUNCTW: scale-factor multiplier of each magnitude index (-12 is 4084 in 12 bits).
constexpr int kWi[8] = {-12, 18, 41, 64, 112, 198, 355, 1122};

// FMULT: coefficient an (16-bit two's complement) times srn (11-bit floating format), 16-bit result.
// Written without branches: eight of these per sample are most of the coder's work.
inline int fmult(int an, int srn) {
  // an >> 2 on the 16-bit pattern, as a magnitude when an is negative; the 13-bit register turns the
  // magnitude 8192 of an = -32768 into 0, hence the mask
  const int am = std::abs(an >> 2) & 0x1FFF;
  const int ae = nbits(static_cast<uint32_t>(am));
  // The normalized mantissa has its top bit (32) set anyway; OR-ing it in gives the 32 of am = 0.
  const int amant = ((am << 6) >> ae) | 32;
  const int wm = ((srn & 63) * amant + 48) >> 4;
  // wm << we for we >= 0, wm >> -we below, we = ae + exponent - 19 in -19..9 (ae <= 13): as one right
  // shift of wm << 10 by 10 - we, which stays within 1..29.
  const int w = ((wm << 10) >> (29 - ae - ((srn >> 6) & 15))) & 0x7FFF;
  // -1 when the signs differ: bit 15 of an (sign-extended to bit 31) against bit 10 of srn moved there.
  // The conversion back to int is modular with GCC and Clang (and by definition since C++20).
  const int sign = static_cast<int>(static_cast<uint32_t>(an) ^ static_cast<uint32_t>(srn) << 21) >> 31;
  return (w ^ sign) - sign;
}

struct Prediction {
  int se;   // signal estimate, sign-extended from 15 bits
  int sez;  // its zero-predictor part
  int y;    // quantizer scale factor
};

#if defined(__GNUC__) || defined(__clang__)
__attribute__((always_inline))
#endif
inline Prediction predict(const AdpcmState& s) {
  Prediction p;
  // ACCUM: the 16-bit sums wrap; halving them gives the 15-bit estimates.
  const int sezi = fmult(s.b[0], s.dq[0]) + fmult(s.b[1], s.dq[1]) + fmult(s.b[2], s.dq[2]) +
                   fmult(s.b[3], s.dq[3]) + fmult(s.b[4], s.dq[4]) + fmult(s.b[5], s.dq[5]);
  const int sei = sezi + fmult(s.a1, s.sr1) + fmult(s.a2, s.sr2);
  p.sez = sext16(sezi) >> 1;
  p.se = sext16(sei) >> 1;

  // MIX: y moves between the slow and the fast scale factor as the speed control ap says;
  // the product is truncated toward zero for a negative difference.
  const int al = s.ap >= 256 ? 64 : s.ap >> 2;
  const int ylp = static_cast<int>(s.yl >> 6);
  const int dif = sext14(s.yu - ylp);
  const int prod = dif >= 0 ? (dif * al) >> 6 : -((((-dif) & 0x1FFF) * al) >> 6);
  p.y = (ylp + prod) & 0x1FFF;
  return p;
}

// LOG of a magnitude m (0..0x7FFF): exponent in bits 10..7, mantissa in bits 6..0.
inline int logMagnitude(int m) {
  const int e = nbits(static_cast<uint32_t>(m >> 1));  // nbits(m) - 1, and 0 for m = 0 as for m = 1
  return (e << 7) + (((m << 7) >> e) & 0x7F);
}

// QUAN for 32 kbit/s on the normalized log difference dln (0..4095, 2048 and up being negative).
inline int quan(int dln, int ds) {
  int k = 1;
  if (dln < 2048) {
    k += (dln >= 80) + (dln >= 178) + (dln >= 246) + (dln >= 300) + (dln >= 349) + (dln >= 400);
  } else if (dln < 3972) {
    return 15;  // far below the scale factor: the code 15 stands for zero whatever the sign
  }
  return ds ? 15 - k : k;
}

// RECONST, ADDA, ANTILOG: magnitude of the quantized difference dq for code I at scale factor y.
inline int dqMagnitude(int I, int y) {
  const int dql = (kDqln[magnitudeIndex(I)] + (y >> 2)) & 0xFFF;
  if (dql & 0x800) return 0;
  // ((128 + mantissa) << 7) >> (14 - exponent), written so that the shift count cannot go negative
  return ((128 + (dql & 0x7F)) << 8) >> (15 - ((dql >> 7) & 15));
}

// FLOATA / FLOATB: sign and magnitude (0..0x7FFF) to the 11-bit floating format.
inline int toFloat(int sign, int m) {
  const int e = nbits(static_cast<uint32_t>(m));
  const int mant = ((m << 6) >> e) | 32;  // normalized, so bit 5 is set anyway unless m = 0
  return (sign << 10) + (e << 6) + mant;
}

// SYNC: nudges the decoder's mu-law output by one step when re-encoding it would not give the received
// code back, so that tandem ADPCM - mu-law - ADPCM links do not accumulate errors.
inline uint8_t sync(int sp, int id, int im) {
  if (im == id) return static_cast<uint8_t>(sp);
  if (im < id) {  // next lower value
    if (sp >= 128) return static_cast<uint8_t>(sp == 255 ? 0x7E : sp + 1);
    return static_cast<uint8_t>(sp == 0 ? 0 : sp - 1);
  }
  // next higher value
  if (sp > 128) return static_cast<uint8_t>(sp - 1);
  if (sp == 128) return 128;
  return static_cast<uint8_t>(sp == 127 ? 0xFE : sp + 1);
}

// The one state update behind both the encoder and the decoder, so the two cannot drift apart.
// dqs and dqmag are the sign and magnitude of the quantized difference; returns the reconstructed signal sr.
inline int update(AdpcmState& s, int I, const Prediction& p, int dqs, int dqmag) {
  const int yl = static_cast<int>(s.yl);

  // TRANS: a large difference while a tone is detected marks a transition; the predictor then restarts.
  bool tr = false;
  if (s.td) {
    const int ylint = yl >> 15;
    const int ylfrac = (yl >> 10) & 31;
    const int thr = ylint > 8 ? 31 << 9 : (32 + ylfrac) << ylint;
    const int dqthr = (thr + (thr >> 1)) >> 1;
    tr = dqmag > dqthr;
  }

  // ADDB, FLOATB, ADDC
  const int dq = dqs ? -dqmag : dqmag;
  const int sr = sext16(dq + p.se);
  const int sr0 = sr < 0 ? toFloat(1, (-sr) & 0x7FFF) : toFloat(0, sr);
  const int dqsez = sext16(dq + p.sez);
  const int pk0 = dqsez < 0;
  const int sigpk = dqsez == 0;

  int a1 = 0;
  int a2 = 0;
  if (!tr) {
    // UPA2 from the old a1 (limited to +-8191) and a2; the 17-bit sum never wraps, so its 17-bit
    // register is an ordinary int here. LIMC keeps the poles stable.
    const int fa1 = 4 * clamp(s.a1, -8191, 8191);
    const int fa = pk0 != s.pk1 ? fa1 : -fa1;
    const int uga2 = sigpk ? 0 : (fa + (pk0 != s.pk2 ? -16384 : 16384)) >> 7;
    a2 = clamp(sext16(s.a2 + uga2 - (s.a2 >> 7)), -kA2Limit, kA2Limit);
    // UPA1, LIMD with the new a2
    const int ua1 = sigpk ? 0 : pk0 == s.pk1 ? 192 : -192;
    const int a1ul = kA1Sum - a2;
    a1 = clamp(sext16(s.a1 + ua1 - (s.a1 >> 8)), -a1ul, a1ul);
  }
  s.a1 = static_cast<int16_t>(a1);
  s.a2 = static_cast<int16_t>(a2);
  s.pk2 = s.pk1;
  s.pk1 = static_cast<uint16_t>(pk0);
  s.sr2 = s.sr1;
  s.sr1 = static_cast<uint16_t>(sr0);

  // UPB with the old dq1..dq6; the coefficients wrap at 16 bits like the registers they model.
  // Spelled out six times rather than looped: not every compiler unrolls it, and it runs every sample.
  if (tr) {
    for (int16_t& b : s.b) b = 0;
  } else {
    const int ugb = dqmag ? 128 : 0;
    const auto upb = [dqs, ugb](int16_t& b, int dqi) {
      const int u = ((dqi >> 10) ^ dqs) & 1;
      b = static_cast<int16_t>(sext16(b + ((ugb ^ -u) + u) - (b >> 8)));  // -ugb when u = 1
    };
    upb(s.b[0], s.dq[0]);
    upb(s.b[1], s.dq[1]);
    upb(s.b[2], s.dq[2]);
    upb(s.b[3], s.dq[3]);
    upb(s.b[4], s.dq[4]);
    upb(s.b[5], s.dq[5]);
  }
  s.dq[5] = s.dq[4];
  s.dq[4] = s.dq[3];
  s.dq[3] = s.dq[2];
  s.dq[2] = s.dq[1];
  s.dq[1] = s.dq[0];
  s.dq[0] = static_cast<uint16_t>(toFloat(dqs, dqmag));

  // TONE
  const int td = !tr && a2 < -11776;
  s.td = static_cast<uint16_t>(td);

  // FUNCTF, FILTA, FILTB: the step toward fi always fits the 8-bit register, so the sums stay in range
  // without the register masks.
  const int k = magnitudeIndex(I);
  const int fi = kFi[k];
  const int dms = s.dms + (((fi << 9) - s.dms) >> 5);
  const int dml = s.dml + (((fi << 11) - s.dml) >> 7);
  s.dms = static_cast<uint16_t>(dms);
  s.dml = static_cast<uint16_t>(dml);

  // SUBTC, FILTC: speed control toward 1 for non-stationary signals, toward 0 for steady ones.
  if (tr) {
    s.ap = 256;
  } else {
    const int dif = (dms << 2) - dml;  // within +-16383: the 15-bit register never wraps
    const int difm = dif < 0 ? -dif : dif;
    const int ax = p.y < 1536 || difm >= (dml >> 3) || td;
    s.ap = static_cast<uint16_t>(s.ap + (((ax << 9) - s.ap) >> 4));
  }

  // FUNCTW, FILTD, LIMB, then FILTE with the new yu and the old yl
  const int yut = (p.y + ((kWi[k] * 32 - p.y) >> 5)) & 0x1FFF;
  const int yu = clamp(yut, kYuMin, kYuMax);
  s.yu = static_cast<uint16_t>(yu);
  s.yl = static_cast<uint32_t>((yl + sext14(yu + ((-yl) >> 6))) & 0x7FFFF);
  return sr;
}

}  // namespace

void adpcmReset(AdpcmState& s) {
  s = AdpcmState{};
  for (uint16_t& dq : s.dq) dq = 32;  // +0 in floating format
  s.sr1 = 32;
  s.sr2 = 32;
  s.yl = 34816;
  s.yu = kYuMin;
}

int g726Encode(AdpcmState& s, int sl) {
  const Prediction p = predict(s);
  // SUBTA: |sl - se| < 2^15, so the 16-bit difference never wraps.
  const int d = sext14(sl) - p.se;
  // LOG, SUBTB, QUAN
  const int ds = d < 0;
  const int dln = (logMagnitude(ds ? -d : d) - (p.y >> 2)) & 0xFFF;
  const int I = quan(dln, ds);
  update(s, I, p, I >> 3, dqMagnitude(I, p.y));
  return I;
}

uint8_t g726Decode(AdpcmState& s, int code) {
  const int I = code & 15;
  const Prediction p = predict(s);
  const int sr = update(s, I, p, I >> 3, dqMagnitude(I, p.y));
  // COMPRESS the reconstructed signal, then re-quantize it (EXPAND, SUBTA, LOG, SUBTB, QUAN) for SYNC.
  const int sp = compress(sr);
  const int dx = expand(static_cast<uint8_t>(sp)) - p.se;
  const int dsx = dx < 0;
  const int dlnx = (logMagnitude(dsx ? -dx : dx) - (p.y >> 2)) & 0xFFF;
  return sync(sp, quan(dlnx, dsx) ^ 8, I ^ 8);
}

}  // namespace codec
