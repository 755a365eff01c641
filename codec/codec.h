// The library's operations as portable C++: the same semantics as the VXADP32 exports, minus the
// Windows calling convention and the local-heap allocation of the state (codec/vxadp32.cpp adds those).
#pragma once

#include <cstdint>

#include "g726.h"

namespace codec {

// G.711 mu-law code of the 14-bit-scale sample in the low 16 bits of the argument (magnitude clipped at 8158).
uint8_t pcmEncode(int32_t sample);
// 16-bit sample of a mu-law byte (low 8 bits used): its 14-bit expansion shifted left by 2.
int16_t pcmDecode(uint32_t ulaw);

// ADPCM code of a 16-bit sample (its two low bits are dropped); the state advances.
int adpcmEncode(AdpcmState& state, int16_t sample);
// 16-bit sample of an ADPCM code (low 4 bits used); the state advances.
int16_t adpcmDecode(AdpcmState& state, uint32_t code);

// Packed ADPCM bytes (first code in the high nibble) to 2 * n 16-bit samples; returns 4 * n (output bytes).
uint32_t adpcmDecWord(AdpcmState& state, const uint8_t* in, uint32_t n, int16_t* out);
// The same to 2 * n 8-bit offset-binary samples; returns 2 * n.
uint32_t adpcmDecByte(AdpcmState& state, const uint8_t* in, uint32_t n, uint8_t* out);

// Linear-interpolation rate conversion: output sample k sits at input position k * step / divisor.
// Returns the number of output samples, 0 (nothing written) when any argument is 0.
uint32_t adpcmDecWFreq(uint32_t step, const int16_t* in, uint32_t count, uint32_t divisor, int16_t* out);
// The same with 8-bit offset-binary output (high byte, bit 7 inverted).
uint32_t adpcmDecBFreq(uint32_t step, const int16_t* in, uint32_t count, uint32_t divisor, uint8_t* out);

// Number of samples the rate converters write: 1 + the positions step, 2 * step, ... below
// (count - 1) * divisor; 0 when any argument is 0. Callers size their output with it.
uint64_t rateConvertedCount(uint32_t step, uint32_t count, uint32_t divisor);

}  // namespace codec
