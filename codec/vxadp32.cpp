// The DLL's exports: a thin layer over the portable codec that adds the calling convention, the
// local-heap state blocks and the pointer checks at the boundary where application data arrives.
#include "vxadp32.h"

#include "codec.h"

namespace {

codec::AdpcmState* stateOf(HADPCM handle) { return reinterpret_cast<codec::AdpcmState*>(handle); }

}  // namespace

extern "C" {

DWORD WINAPI pcmEncode(LONG sample) { return codec::pcmEncode(sample); }

LONG WINAPI pcmDecode(DWORD ulaw) { return codec::pcmDecode(ulaw); }

HADPCM WINAPI adpcmOpen(void) {
  void* block = LocalAlloc(LMEM_FIXED, sizeof(codec::AdpcmState));
  if (!block) return nullptr;
  codec::adpcmReset(*static_cast<codec::AdpcmState*>(block));
  return static_cast<HADPCM>(block);
}

DWORD WINAPI adpcmClose(HADPCM state) {
  if (!state) return 0;
  return LocalFree(state) == nullptr ? 1 : 0;
}

DWORD WINAPI adpcmEncode(HADPCM state, LONG sample) {
  if (!state) return 0;
  return static_cast<DWORD>(codec::adpcmEncode(*stateOf(state), static_cast<int16_t>(sample & 0xFFFF)));
}

LONG WINAPI adpcmDecode(HADPCM state, DWORD code) {
  if (!state) return 0;
  return codec::adpcmDecode(*stateOf(state), code);
}

DWORD WINAPI adpcmDecWord(HADPCM state, const BYTE* in, DWORD n, SHORT* out) {
  if (!state || ((!in || !out) && n)) return 0;
  return codec::adpcmDecWord(*stateOf(state), in, n, out);
}

DWORD WINAPI adpcmDecByte(HADPCM state, const BYTE* in, DWORD n, BYTE* out) {
  if (!state || ((!in || !out) && n)) return 0;
  return codec::adpcmDecByte(*stateOf(state), in, n, out);
}

DWORD WINAPI adpcmDecWFreq(DWORD step, const SHORT* in, DWORD count, DWORD divisor, SHORT* out) {
  return codec::adpcmDecWFreq(step, in, count, divisor, out);
}

DWORD WINAPI adpcmDecBFreq(DWORD step, const SHORT* in, DWORD count, DWORD divisor, BYTE* out) {
  return codec::adpcmDecBFreq(step, in, count, divisor, out);
}

}  // extern "C"
