// VXADP32.dll as applications meet it under Wine: the conformance suite through GetProcAddress by name,
// by ordinal and through the import library; the export table (ten names at their ordinals, base 2,
// 8 to 15 unused); imports from system libraries only; states from the local heap; null arguments.
#include <windows.h>

#include <cctype>
#include <string>
#include <vector>

#include "codec_api.h"
#include "vxadp32.h"

namespace codec_test {
namespace {

const struct {
  const char* name;
  WORD ordinal;
} kExports[] = {
    {"pcmEncode", VXADP32_PCMENCODE},         {"pcmDecode", VXADP32_PCMDECODE},
    {"adpcmOpen", VXADP32_ADPCMOPEN},         {"adpcmClose", VXADP32_ADPCMCLOSE},
    {"adpcmEncode", VXADP32_ADPCMENCODE},     {"adpcmDecode", VXADP32_ADPCMDECODE},
    {"adpcmDecWord", VXADP32_ADPCMDECWORD},   {"adpcmDecByte", VXADP32_ADPCMDECBYTE},
    {"adpcmDecWFreq", VXADP32_ADPCMDECWFREQ}, {"adpcmDecBFreq", VXADP32_ADPCMDECBFREQ},
};

HMODULE library() {
  static const HMODULE module = LoadLibraryA(VXADP32_PATH);
  return module;
}

FARPROC lookUp(size_t index, bool byOrdinal) {
  const auto& e = kExports[index];
  return GetProcAddress(library(), byOrdinal ? MAKEINTRESOURCEA(e.ordinal) : e.name);
}

// Fills the operations in kExports order; null when the library or any export is missing.
const CodecApi* bind(CodecApi& api, bool byOrdinal) {
  if (!library()) {
    ADD_FAILURE() << "LoadLibrary(" << VXADP32_PATH << ") failed: " << GetLastError();
    return nullptr;
  }
  FARPROC found[10];
  for (size_t i = 0; i < 10; ++i) {
    found[i] = lookUp(i, byOrdinal);
    if (!found[i]) {
      ADD_FAILURE() << kExports[i].name << " not found " << (byOrdinal ? "by ordinal" : "by name");
      return nullptr;
    }
  }
  api.pcmEncode = reinterpret_cast<decltype(api.pcmEncode)>(found[0]);
  api.pcmDecode = reinterpret_cast<decltype(api.pcmDecode)>(found[1]);
  api.adpcmOpen = reinterpret_cast<decltype(api.adpcmOpen)>(found[2]);
  api.adpcmClose = reinterpret_cast<decltype(api.adpcmClose)>(found[3]);
  api.adpcmEncode = reinterpret_cast<decltype(api.adpcmEncode)>(found[4]);
  api.adpcmDecode = reinterpret_cast<decltype(api.adpcmDecode)>(found[5]);
  api.adpcmDecWord = reinterpret_cast<decltype(api.adpcmDecWord)>(found[6]);
  api.adpcmDecByte = reinterpret_cast<decltype(api.adpcmDecByte)>(found[7]);
  api.adpcmDecWFreq = reinterpret_cast<decltype(api.adpcmDecWFreq)>(found[8]);
  api.adpcmDecBFreq = reinterpret_cast<decltype(api.adpcmDecBFreq)>(found[9]);
  return &api;
}

const CodecApi* byName() {
  static CodecApi api;
  return bind(api, false);
}

const CodecApi* byOrdinal() {
  static CodecApi api;
  return bind(api, true);
}

// Linked against the import library: a mismatch between vxadp32.h and the .def (argument sizes in the
// decorated names) fails the link.
const CodecApi* byImportLibrary() {
  static const CodecApi api = {
      reinterpret_cast<decltype(api.pcmEncode)>(&pcmEncode),
      reinterpret_cast<decltype(api.pcmDecode)>(&pcmDecode),
      reinterpret_cast<decltype(api.adpcmOpen)>(&adpcmOpen),
      reinterpret_cast<decltype(api.adpcmClose)>(&adpcmClose),
      reinterpret_cast<decltype(api.adpcmEncode)>(&adpcmEncode),
      reinterpret_cast<decltype(api.adpcmDecode)>(&adpcmDecode),
      reinterpret_cast<decltype(api.adpcmDecWord)>(&adpcmDecWord),
      reinterpret_cast<decltype(api.adpcmDecByte)>(&adpcmDecByte),
      reinterpret_cast<decltype(api.adpcmDecWFreq)>(&adpcmDecWFreq),
      reinterpret_cast<decltype(api.adpcmDecBFreq)>(&adpcmDecBFreq),
  };
  return &api;
}

INSTANTIATE_TEST_SUITE_P(ByName, CodecConformance, ::testing::Values(&byName));
INSTANTIATE_TEST_SUITE_P(ByOrdinal, CodecConformance, ::testing::Values(&byOrdinal));
INSTANTIATE_TEST_SUITE_P(ImportLibrary, CodecConformance, ::testing::Values(&byImportLibrary));

template <class T>
const T* at(HMODULE module, DWORD rva) {
  return reinterpret_cast<const T*>(reinterpret_cast<const BYTE*>(module) + rva);
}

// The headers of this build's own architecture: the DLL is loaded into this process.
const IMAGE_NT_HEADERS& headers(HMODULE module) {
  const auto* dos = at<IMAGE_DOS_HEADER>(module, 0);
  return *at<IMAGE_NT_HEADERS>(module, static_cast<DWORD>(dos->e_lfanew));
}

const IMAGE_DATA_DIRECTORY& directory(HMODULE module, int entry) {
  return headers(module).OptionalHeader.DataDirectory[entry];
}

TEST(Vxadp32Dll, ExportsTheTenNamesAtTheirOrdinals) {
  const HMODULE module = library();
  ASSERT_NE(module, nullptr);
#ifdef _WIN64
  EXPECT_EQ(headers(module).FileHeader.Machine, IMAGE_FILE_MACHINE_AMD64);
#else
  EXPECT_EQ(headers(module).FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
#endif
  const IMAGE_DATA_DIRECTORY& dir = directory(module, IMAGE_DIRECTORY_ENTRY_EXPORT);
  ASSERT_NE(dir.VirtualAddress, 0u);
  const auto* exports = at<IMAGE_EXPORT_DIRECTORY>(module, dir.VirtualAddress);
  EXPECT_EQ(exports->Base, 2u);
  EXPECT_EQ(exports->NumberOfNames, 10u);
  EXPECT_EQ(exports->NumberOfFunctions, 18u);  // ordinals 2 to 19

  const auto* names = at<DWORD>(module, exports->AddressOfNames);
  const auto* nameOrdinals = at<WORD>(module, exports->AddressOfNameOrdinals);
  const auto* functions = at<DWORD>(module, exports->AddressOfFunctions);
  for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
    const std::string name = at<char>(module, names[i]);
    const WORD ordinal = static_cast<WORD>(exports->Base + nameOrdinals[i]);
    bool known = false;
    for (const auto& e : kExports) known = known || (name == e.name && ordinal == e.ordinal);
    EXPECT_TRUE(known) << name << " at ordinal " << ordinal;
  }
  for (WORD ordinal = 8; ordinal <= 15; ++ordinal) {
    EXPECT_EQ(functions[ordinal - exports->Base], 0u) << "ordinal " << ordinal;
    EXPECT_EQ(GetProcAddress(module, MAKEINTRESOURCEA(ordinal)), nullptr) << "ordinal " << ordinal;
  }
  for (size_t i = 0; i < 10; ++i) EXPECT_EQ(lookUp(i, false), lookUp(i, true)) << kExports[i].name;
  EXPECT_EQ(GetProcAddress(module, "_pcmEncode@4"), nullptr);
  EXPECT_EQ(GetProcAddress(module, "pcmEncode@4"), nullptr);
}

TEST(Vxadp32Dll, ImportsOnlySystemLibraries) {
  const HMODULE module = library();
  ASSERT_NE(module, nullptr);
  const IMAGE_DATA_DIRECTORY& dir = directory(module, IMAGE_DIRECTORY_ENTRY_IMPORT);
  const char* system[] = {"kernel32.dll", "msvcrt.dll", "ntdll.dll", "user32.dll", "advapi32.dll"};
  int count = 0;
  for (const auto* d = at<IMAGE_IMPORT_DESCRIPTOR>(module, dir.VirtualAddress); dir.VirtualAddress && d->Name;
       ++d, ++count) {
    std::string name = at<char>(module, d->Name);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    bool isSystem = false;
    for (const char* s : system) isSystem = isSystem || name == s;
    EXPECT_TRUE(isSystem) << name;
  }
  EXPECT_GT(count, 0);
}

TEST(Vxadp32Dll, StatesComeFromTheLocalHeap) {
  const HADPCM state = adpcmOpen();
  ASSERT_NE(state, nullptr);
  EXPECT_EQ(LocalHandle(state), static_cast<HLOCAL>(state));  // fixed memory: the handle is the pointer
  EXPECT_EQ(LocalSize(state), 52u);
  EXPECT_EQ(adpcmClose(state), 1u);
  EXPECT_EQ(adpcmClose(nullptr), 0u);
}

TEST(Vxadp32Dll, NullStateOrBufferIsRefused) {
  const BYTE packed[1] = {0x17};
  SHORT words[2] = {0x5A5A, 0x5A5A};
  BYTE bytes[2] = {0x5A, 0x5A};
  EXPECT_EQ(adpcmEncode(nullptr, 1000), 0u);
  EXPECT_EQ(adpcmDecode(nullptr, 7), 0);
  EXPECT_EQ(adpcmDecWord(nullptr, packed, 1, words), 0u);
  EXPECT_EQ(adpcmDecByte(nullptr, packed, 1, bytes), 0u);
  const HADPCM state = adpcmOpen();
  ASSERT_NE(state, nullptr);
  EXPECT_EQ(adpcmDecWord(state, nullptr, 1, words), 0u);
  EXPECT_EQ(adpcmDecWord(state, packed, 1, nullptr), 0u);
  EXPECT_EQ(adpcmDecByte(state, nullptr, 1, bytes), 0u);
  EXPECT_EQ(adpcmDecByte(state, packed, 1, nullptr), 0u);
  EXPECT_EQ(words[0], 0x5A5A);
  EXPECT_EQ(bytes[0], 0x5A);
  // The refused calls left the state as new: it still decodes like a fresh one.
  const HADPCM fresh = adpcmOpen();
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(adpcmDecWord(state, packed, 1, words), 4u);
  SHORT freshWords[2];
  EXPECT_EQ(adpcmDecWord(fresh, packed, 1, freshWords), 4u);
  EXPECT_EQ(words[0], freshWords[0]);
  EXPECT_EQ(words[1], freshWords[1]);
  adpcmClose(fresh);
  adpcmClose(state);
}

}  // namespace
}  // namespace codec_test
