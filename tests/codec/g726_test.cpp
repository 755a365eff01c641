// The coder's own properties, checked on the state itself: exact mu-law output of the ITU sequences,
// the state limits, the transition detector, and the encoder and decoder running one state update.
#include <cmath>
#include <cstring>
#include <vector>

#include "codec.h"
#include "g726.h"
#include "test_data.h"

namespace codec_test {
namespace {

using codec::AdpcmState;

AdpcmState freshState() {
  AdpcmState state;
  codec::adpcmReset(state);
  return state;
}

bool sameState(const AdpcmState& a, const AdpcmState& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

::testing::AssertionResult withinLimits(const AdpcmState& s) {
  if (s.yu < codec::kYuMin || s.yu > codec::kYuMax) return ::testing::AssertionFailure() << "yu " << s.yu;
  if (s.a2 < -codec::kA2Limit || s.a2 > codec::kA2Limit) return ::testing::AssertionFailure() << "a2 " << s.a2;
  if (s.a1 < s.a2 - codec::kA1Sum || s.a1 > codec::kA1Sum - s.a2)
    return ::testing::AssertionFailure() << "a1 " << s.a1 << " with a2 " << s.a2;
  return ::testing::AssertionSuccess();
}

// Extremes seen over many samples, to show that each limiter is actually reached.
struct Extremes {
  int yuMin = 1 << 20, yuMax = -(1 << 20), a2Min = 1 << 20, a2Max = -(1 << 20);
  bool a1AtBound = false;
  void see(const AdpcmState& s) {
    yuMin = std::min<int>(yuMin, s.yu);
    yuMax = std::max<int>(yuMax, s.yu);
    a2Min = std::min<int>(a2Min, s.a2);
    a2Max = std::max<int>(a2Max, s.a2);
    a1AtBound = a1AtBound || s.a1 == codec::kA1Sum - s.a2 || s.a1 == s.a2 - codec::kA1Sum;
  }
};

// Test signals on the 16-bit scale.
std::vector<std::vector<int16_t>> testSignals() {
  std::vector<std::vector<int16_t>> signals;
  const double pi = 3.14159265358979;
  for (double hz : {50.0, 300.0, 1000.0, 3400.0}) {
    std::vector<int16_t> tone(4000);
    for (size_t n = 0; n < tone.size(); ++n) tone[n] = static_cast<int16_t>(30000 * std::sin(2 * pi * hz * n / 8000));
    signals.push_back(tone);
  }
  std::vector<int16_t> square(4000), noise(4000), bursts(8000);
  Lcg rng{3};
  for (size_t n = 0; n < square.size(); ++n) square[n] = (n / 20) % 2 ? 32767 : -32768;
  for (int16_t& v : noise) v = static_cast<int16_t>(rng.next() >> 16);
  for (size_t n = 0; n < bursts.size(); ++n)  // a steady tone broken by loud clicks
    bursts[n] = static_cast<int16_t>((n % 1000) < 3 ? 32000 : 2000 * std::sin(2 * pi * 200 * n / 8000));
  signals.push_back(square);
  signals.push_back(noise);
  signals.push_back(bursts);
  signals.push_back(readSamples("codec-vectors/sine1k.in.s16le"));
  return signals;
}

TEST(G726, ItuDecoderOutputIsBitExactMuLaw) {
  // Through the 16-bit interface +0 (0xFF) and -0 (0x7F) look alike; the coder's bytes must match too.
  const char* sequences[][2] = {{"itu-g726/rn32fm.i", "itu-g726/rn32fm.o"},
                                {"itu-g726/rv32fm.i", "itu-g726/rv32fm.o"},
                                {"itu-g726/i32", "itu-g726/ri32fm.o"}};
  for (const auto& sequence : sequences) {
    const std::vector<uint16_t> codes = readWords(sequence[0]);
    const std::vector<uint16_t> want = readWords(sequence[1]);
    AdpcmState state = freshState();
    std::vector<uint16_t> got(codes.size());
    for (size_t i = 0; i < codes.size(); ++i) got[i] = codec::g726Decode(state, codes[i]);
    EXPECT_TRUE(sameSequence(got, want)) << sequence[1];
  }
}

TEST(G726, ResetStateEncodesSilenceAsFifteen) {
  AdpcmState state = freshState();
  EXPECT_EQ(codec::g726Encode(state, 0), 15);
}

TEST(G726, CodesZeroAndFifteenBothMeanZeroDifference) {
  AdpcmState afterZero = freshState();
  AdpcmState afterFifteen = freshState();
  codec::g726Decode(afterZero, 0);
  codec::g726Decode(afterFifteen, 15);
  EXPECT_EQ(afterZero.sr1, 32);                 // reconstructed +0
  EXPECT_EQ(afterZero.dq[0] & 0x3FF, 32);       // zero magnitude, differing only in sign
  afterFifteen.dq[0] &= 0x3FF;
  afterZero.dq[0] &= 0x3FF;
  EXPECT_TRUE(sameState(afterZero, afterFifteen));
}

TEST(G726, EncoderAndDecoderStatesNeverDrift) {
  for (const std::vector<int16_t>& signal : testSignals()) {
    AdpcmState encoder = freshState();
    AdpcmState decoder = freshState();
    for (size_t n = 0; n < signal.size(); ++n) {
      codec::g726Decode(decoder, codec::adpcmEncode(encoder, signal[n]));
      ASSERT_TRUE(sameState(encoder, decoder)) << "sample " << n;
    }
  }
}

TEST(G726, StateStaysWithinItsLimits) {
  Extremes seen;
  auto check = [&seen](const AdpcmState& s, const char* what, size_t n) {
    seen.see(s);
    return withinLimits(s) << " " << what << " at " << n;
  };
  for (const std::vector<int16_t>& signal : testSignals()) {
    AdpcmState state = freshState();
    for (size_t n = 0; n < signal.size(); ++n) {
      codec::adpcmEncode(state, signal[n]);
      ASSERT_TRUE(check(state, "encoding", n));
    }
  }
  for (int code = 0; code < 16; ++code) {  // the same code over and over drives y and the poles to their ends
    AdpcmState state = freshState();
    for (size_t n = 0; n < 3000; ++n) {
      codec::g726Decode(state, code);
      ASSERT_TRUE(check(state, "constant code", n));
    }
  }
  AdpcmState state = freshState();
  Lcg rng{9};
  for (size_t n = 0; n < 200000; ++n) {
    codec::g726Decode(state, static_cast<int>(rng.next() >> 28));
    ASSERT_TRUE(check(state, "random codes", n));
  }
  EXPECT_EQ(seen.yuMin, codec::kYuMin);
  EXPECT_EQ(seen.yuMax, codec::kYuMax);
  EXPECT_EQ(seen.a2Min, -codec::kA2Limit);
  EXPECT_GT(seen.a2Max, 0);
  EXPECT_TRUE(seen.a1AtBound);
}

// A state in tone mode (td = 1) with a fast scale factor well above the slow one.
AdpcmState toneState() {
  AdpcmState s = freshState();
  s.td = 1;
  s.a1 = 5000;
  s.a2 = -12000;
  for (int16_t& b : s.b) b = 1000;
  s.ap = 300;    // >= 256: y follows yu alone
  s.yu = 2048;   // y = 2048
  s.yl = 34816;  // slow scale 544: threshold for |dq| is 51
  return s;
}

TEST(G726, TransitionDetectorRestartsThePredictor) {
  AdpcmState s = toneState();
  codec::g726Decode(s, 7);  // |dq| = 169 > 51
  EXPECT_EQ(s.a1, 0);
  EXPECT_EQ(s.a2, 0);
  for (int16_t b : s.b) EXPECT_EQ(b, 0);
  EXPECT_EQ(s.td, 0);
  EXPECT_EQ(s.ap, 256);

  AdpcmState small = toneState();
  codec::g726Decode(small, 1);  // |dq| = 16: no transition
  EXPECT_NE(small.a1, 0);
  EXPECT_NE(small.b[0], 0);
  EXPECT_NE(small.ap, 256);

  AdpcmState noTone = toneState();
  noTone.td = 0;
  codec::g726Decode(noTone, 7);  // large, but no tone was detected
  EXPECT_NE(noTone.a2, 0);
  EXPECT_NE(noTone.b[0], 0);
}

TEST(G726, LoudBurstAfterASteadyToneTriggersTheTransitionDetector) {
  AdpcmState s = freshState();
  const double pi = 3.14159265358979;
  // Long enough for both scale factors to settle on the tone, then on until the detector is set.
  for (int n = 0; n < 8000 && (n < 4000 || !s.td); ++n)
    codec::adpcmEncode(s, static_cast<int16_t>(300 * std::sin(2 * pi * 1000 * n / 8000)));
  ASSERT_EQ(s.td, 1) << "a steady tone sets the tone detector (a2 " << s.a2 << ")";
  // The fast scale factor has to outrun the slow one first, so the restart comes a sample or two in.
  bool restarted = false;
  for (int n = 0; n < 4 && !restarted; ++n) {
    codec::adpcmEncode(s, n % 2 ? 32767 : -32768);
    restarted = s.a1 == 0 && s.a2 == 0 && s.ap == 256;
  }
  ASSERT_TRUE(restarted);
  for (int16_t b : s.b) EXPECT_EQ(b, 0);
  EXPECT_EQ(s.td, 0);
}

TEST(G726, PolesAreLimitedOnThePositiveSideToo) {
  // Equal signs of the last three partial signals push a2 up by 128 - 96 per sample: past 12288 without LIMC.
  AdpcmState s = freshState();
  s.a2 = codec::kA2Limit;
  codec::g726Decode(s, 7);
  EXPECT_EQ(s.pk1, 0);
  EXPECT_EQ(s.a2, codec::kA2Limit);
  EXPECT_EQ(s.a1, 192);
}

TEST(G711, CompressInvertsExpand) {
  for (int u = 0; u < 256; ++u) {
    const int back = codec::compress(codec::expand(static_cast<uint8_t>(u)));
    EXPECT_EQ(back, u == 0x7F ? 0xFF : u) << u;  // -0 comes back as +0
  }
  EXPECT_EQ(codec::compress(0), 0xFF);
  for (int v : {8158, 9000, 32767, 40000}) {
    EXPECT_EQ(codec::compress(v), 0x80) << v;
    EXPECT_EQ(codec::compress(-v), 0x00) << -v;
  }
}

}  // namespace
}  // namespace codec_test
