// Reference files of the codec tests: the ITU-T G.726 conformance sequences (data/itu-g726) and the
// interface vectors (data/codec-vectors). CODEC_TEST_DATA is the data folder's absolute path, as a
// Z: path in the Windows build so that the tests under Wine read the same files.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace codec_test {

// The whole file; fails the calling test (and returns empty) when it cannot be read.
std::vector<uint8_t> readBytes(const std::string& relativePath);
// 16-bit little-endian words, one value each (the ITU sequences and the .s16le files).
std::vector<uint16_t> readWords(const std::string& relativePath);
std::vector<int16_t> readSamples(const std::string& relativePath);

// Codes of one per byte or word packed two per byte, the first in the high nibble.
std::vector<uint8_t> packCodes(const std::vector<uint8_t>& codes);

// Element-wise equality of two sequences, naming the first difference.
template <class Got, class Want>
::testing::AssertionResult sameSequence(const Got& got, const Want& want) {
  if (got.size() != want.size())
    return ::testing::AssertionFailure() << "length " << got.size() << ", expected " << want.size();
  for (size_t i = 0; i < got.size(); ++i) {
    if (got[i] != want[i])
      return ::testing::AssertionFailure() << "first difference at " << i << ": " << +got[i] << ", expected "
                                           << +want[i];
  }
  return ::testing::AssertionSuccess();
}

// Deterministic pseudo-random numbers for generated inputs.
struct Lcg {
  uint32_t s;
  uint32_t next() { return s = s * 1103515245u + 12345u; }
  uint32_t below(uint32_t n) { return (next() >> 8) % n; }
};

}  // namespace codec_test
