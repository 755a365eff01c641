// The conformance suite against the portable core, with the states from the ordinary heap.
#include "codec.h"
#include "codec_api.h"

namespace codec_test {
namespace {

codec::AdpcmState& stateOf(void* state) { return *static_cast<codec::AdpcmState*>(state); }

uint32_t CODEC_CALL pcmEncode(int32_t sample) { return codec::pcmEncode(sample); }
int32_t CODEC_CALL pcmDecode(uint32_t ulaw) { return codec::pcmDecode(ulaw); }
void* CODEC_CALL adpcmOpen() {
  auto* state = new codec::AdpcmState;
  codec::adpcmReset(*state);
  return state;
}
uint32_t CODEC_CALL adpcmClose(void* state) {
  delete static_cast<codec::AdpcmState*>(state);
  return 1;
}
uint32_t CODEC_CALL adpcmEncode(void* state, int32_t sample) {
  return static_cast<uint32_t>(codec::adpcmEncode(stateOf(state), static_cast<int16_t>(sample)));
}
int32_t CODEC_CALL adpcmDecode(void* state, uint32_t code) { return codec::adpcmDecode(stateOf(state), code); }
uint32_t CODEC_CALL adpcmDecWord(void* state, const uint8_t* in, uint32_t n, int16_t* out) {
  return codec::adpcmDecWord(stateOf(state), in, n, out);
}
uint32_t CODEC_CALL adpcmDecByte(void* state, const uint8_t* in, uint32_t n, uint8_t* out) {
  return codec::adpcmDecByte(stateOf(state), in, n, out);
}

uint32_t CODEC_CALL adpcmDecWFreq(uint32_t step, const int16_t* in, uint32_t count, uint32_t divisor,
                                  int16_t* out) {
  return codec::adpcmDecWFreq(step, in, count, divisor, out);
}
uint32_t CODEC_CALL adpcmDecBFreq(uint32_t step, const int16_t* in, uint32_t count, uint32_t divisor,
                                  uint8_t* out) {
  return codec::adpcmDecBFreq(step, in, count, divisor, out);
}

const CodecApi kCore = {pcmEncode,   pcmDecode,    adpcmOpen,    adpcmClose,    adpcmEncode,
                        adpcmDecode, adpcmDecWord, adpcmDecByte, adpcmDecWFreq, adpcmDecBFreq};

const CodecApi* coreApi() { return &kCore; }

INSTANTIATE_TEST_SUITE_P(Core, CodecConformance, ::testing::Values(&coreApi));

}  // namespace
}  // namespace codec_test
