// The ten library operations exactly as an application calls them (32-bit arguments and results, the
// Windows calling convention in the Windows build), so that one conformance suite runs against the
// portable core natively and against VXADP32.dll bound by name and by ordinal under Wine.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#if defined(_WIN32)
#define CODEC_CALL __stdcall
#else
#define CODEC_CALL
#endif

namespace codec_test {

struct CodecApi {
  uint32_t(CODEC_CALL* pcmEncode)(int32_t sample);
  int32_t(CODEC_CALL* pcmDecode)(uint32_t ulaw);
  void*(CODEC_CALL* adpcmOpen)();
  uint32_t(CODEC_CALL* adpcmClose)(void* state);
  uint32_t(CODEC_CALL* adpcmEncode)(void* state, int32_t sample);
  int32_t(CODEC_CALL* adpcmDecode)(void* state, uint32_t code);
  uint32_t(CODEC_CALL* adpcmDecWord)(void* state, const uint8_t* in, uint32_t n, int16_t* out);
  uint32_t(CODEC_CALL* adpcmDecByte)(void* state, const uint8_t* in, uint32_t n, uint8_t* out);
  uint32_t(CODEC_CALL* adpcmDecWFreq)(uint32_t step, const int16_t* in, uint32_t count, uint32_t divisor,
                                       int16_t* out);
  uint32_t(CODEC_CALL* adpcmDecBFreq)(uint32_t step, const int16_t* in, uint32_t count, uint32_t divisor,
                                       uint8_t* out);
};

// A binding hands out its operations, or null after reporting why it could not.
using ApiBinding = const CodecApi* (*)();

// The conformance suite (codec_suite.cpp); each binding instantiates it once.
class CodecConformance : public ::testing::TestWithParam<ApiBinding> {
 protected:
  void SetUp() override {
    api = GetParam()();
    ASSERT_NE(api, nullptr);
  }
  const CodecApi* api = nullptr;
};

}  // namespace codec_test
