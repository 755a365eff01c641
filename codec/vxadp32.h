// VXADP32.dll: G.711 mu-law conversion and G.726 32 kbit/s ADPCM coding for the camera's recorded sound.
// Every export uses the standard Windows calling convention, is exported by name and bound to the ordinal
// below, and returns a 32-bit value (for a sample or a code only the low 16 bits are defined).
// The library keeps no data of its own between or during calls: different states may be coded from
// different threads at once; one state must not be used by two threads at the same time.
#pragma once

#include <windows.h>

// A coder state from adpcmOpen: opaque, one per sound stream, for encoding or for decoding.
DECLARE_HANDLE(HADPCM);

enum VxAdp32Ordinal {
  VXADP32_PCMENCODE = 2,
  VXADP32_PCMDECODE = 3,
  VXADP32_ADPCMOPEN = 4,
  VXADP32_ADPCMCLOSE = 5,
  VXADP32_ADPCMENCODE = 6,
  VXADP32_ADPCMDECODE = 7,
  // 8 to 15 are unused
  VXADP32_ADPCMDECWORD = 16,
  VXADP32_ADPCMDECBYTE = 17,
  VXADP32_ADPCMDECWFREQ = 18,
  VXADP32_ADPCMDECBFREQ = 19,
};

#ifdef __cplusplus
extern "C" {
#endif

// mu-law byte of the 14-bit-scale sample in the low 16 bits of the argument.
DWORD WINAPI pcmEncode(LONG sample);
// 16-bit sample (sign-extended) of the mu-law byte in the low 8 bits.
LONG WINAPI pcmDecode(DWORD ulaw);
// New coder state from the local heap, in its reset condition; NULL when memory is short.
HADPCM WINAPI adpcmOpen(void);
// Releases a state: 1 when released, 0 when not (also for NULL). The state is gone either way.
DWORD WINAPI adpcmClose(HADPCM state);
// ADPCM code (0..15) of a 16-bit sample; the state advances. 0 without a state.
DWORD WINAPI adpcmEncode(HADPCM state, LONG sample);
// 16-bit sample (sign-extended) of the ADPCM code in the low 4 bits; the state advances. 0 without a state.
LONG WINAPI adpcmDecode(HADPCM state, DWORD code);
// n packed bytes (first code in the high nibble) to 2 * n 16-bit samples; returns 4 * n, or 0 when the
// state or a buffer is NULL.
DWORD WINAPI adpcmDecWord(HADPCM state, const BYTE* in, DWORD n, SHORT* out);
// The same to 2 * n 8-bit offset-binary samples; returns 2 * n, or 0 when the state or a buffer is NULL.
DWORD WINAPI adpcmDecByte(HADPCM state, const BYTE* in, DWORD n, BYTE* out);
// Linear-interpolation rate conversion of count 16-bit samples: output k sits at input position
// k * step / divisor. Returns the number of output samples: 1 + the number of positions step, 2 * step, ...
// below (count - 1) * divisor; 0, writing nothing, when any argument is 0.
DWORD WINAPI adpcmDecWFreq(DWORD step, const SHORT* in, DWORD count, DWORD divisor, SHORT* out);
// The same with 8-bit offset-binary output.
DWORD WINAPI adpcmDecBFreq(DWORD step, const SHORT* in, DWORD count, DWORD divisor, BYTE* out);

#ifdef __cplusplus
}
#endif
