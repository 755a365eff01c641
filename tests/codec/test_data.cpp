#include "test_data.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace codec_test {

std::vector<uint8_t> readBytes(const std::string& relativePath) {
  const std::string path = std::string(CODEC_TEST_DATA) + "/" + relativePath;
  std::vector<uint8_t> data;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    ADD_FAILURE() << "cannot open " << path;
    return data;
  }
  uint8_t buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) data.insert(data.end(), buffer, buffer + got);
  std::fclose(f);
  if (data.empty()) ADD_FAILURE() << path << " is empty";
  return data;
}

std::vector<uint16_t> readWords(const std::string& relativePath) {
  const std::vector<uint8_t> bytes = readBytes(relativePath);
  std::vector<uint16_t> words(bytes.size() / 2);
  for (size_t i = 0; i < words.size(); ++i) words[i] = static_cast<uint16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
  return words;
}

std::vector<int16_t> readSamples(const std::string& relativePath) {
  const std::vector<uint16_t> words = readWords(relativePath);
  return std::vector<int16_t>(words.begin(), words.end());
}

std::vector<uint8_t> packCodes(const std::vector<uint8_t>& codes) {
  std::vector<uint8_t> packed(codes.size() / 2);
  for (size_t i = 0; i < packed.size(); ++i)
    packed[i] = static_cast<uint8_t>((codes[2 * i] & 15) << 4 | (codes[2 * i + 1] & 15));
  return packed;
}

}  // namespace codec_test
