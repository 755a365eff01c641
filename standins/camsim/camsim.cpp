// The simulated camera: folder lookup, camera.ini, the picture lists, calls.log and the
// download with its progress protocol. See camsim.h and docs/simulated-cameras.md.
#include "camsim.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "../common/camera_data.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
typedef std::unique_ptr<std::FILE, FileCloser> FilePtr;

std::string lowerCase(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string trimmed(const std::string& s) {
    size_t first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return "";
    size_t last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

bool isDirectory(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool readWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) return false;
    bytes.clear();
    uint8_t buffer[64 * 1024];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) bytes.insert(bytes.end(), buffer, buffer + got);
    return !std::ferror(file.get());
}

// Our own reader rather than GetPrivateProfileString: Wine caches profile files by time
// stamp, and tests rewrite camera.ini within the same second. Keys are "section.key", lower case.
std::string iniValue(const std::string& iniPath, const char* section, const std::string& key) {
    FilePtr file(std::fopen(iniPath.c_str(), "rb"));
    if (!file) return "";
    const std::string wantedSection = lowerCase(section);
    const std::string wantedKey = lowerCase(key);
    std::string current;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, file.get())) {
        std::string line = trimmed(buffer);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line[0] == '[') {
            size_t close = line.find(']');
            current = lowerCase(trimmed(line.substr(1, close == std::string::npos ? std::string::npos : close - 1)));
            continue;
        }
        size_t equals = line.find('=');
        if (equals == std::string::npos || current != wantedSection) continue;
        if (lowerCase(trimmed(line.substr(0, equals))) == wantedKey) return trimmed(line.substr(equals + 1));
    }
    return "";
}

int iniInt(const std::string& iniPath, const char* section, const char* key, int fallback) {
    std::string text = iniValue(iniPath, section, key);
    if (text.empty()) return fallback;
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    return end == text.c_str() ? fallback : static_cast<int>(value);
}

// A hex code such as "ff64" or "0xFF64"; 0 when the text is no 16-bit number.
uint16_t hexCode(const std::string& text) {
    if (text.empty()) return 0;
    char* end = nullptr;
    unsigned long value = std::strtoul(text.c_str(), &end, 16);
    if (end == text.c_str() || value > 0xFFFF) return 0;
    return static_cast<uint16_t>(value);
}

bool hasExtension(const char* name, const char* extension) {
    size_t nameLength = std::strlen(name);
    size_t extensionLength = std::strlen(extension);
    return nameLength > extensionLength && _stricmp(name + nameLength - extensionLength, extension) == 0;
}

// Files of `directory` whose names end in `extension`, sorted by the bytes of their names.
// FindFirstFile's pattern alone is not enough: "*.k4i" also matches longer extensions
// through the short names.
std::vector<std::string> listPictures(const std::string& directory, const char* extension) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((directory + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        if (hasExtension(found.cFileName, extension)) names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());  // char_traits<char> compares as unsigned bytes
    for (std::string& name : names) name = directory + "\\" + name;
    return names;
}

std::string fileName(const std::string& path) {
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void appendU16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void appendU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void appendPart(std::vector<uint8_t>& out, CameraPartKind kind, const uint8_t* bytes, size_t size) {
    appendU32(out, kind);
    appendU32(out, static_cast<uint32_t>(size));
    out.insert(out.end(), bytes, bytes + size);
}

// Camera data of LX-1 and LX-2 pictures: the K4I picture (unless the camera is told to lose
// it) and two small companion parts naming the picture.
std::vector<uint8_t> cameraData(const std::vector<uint8_t>& k4i, bool withPicture, const std::string& name,
                                uint16_t n) {
    std::string k4s = "K4S of picture " + std::to_string(n) + " " + name + "\r\n";
    std::string rel = "REL of picture " + std::to_string(n) + " " + name + "\r\n";
    std::vector<uint8_t> out(CAMERA_DATA_MAGIC, CAMERA_DATA_MAGIC + 4);
    appendU16(out, CAMERA_DATA_VERSION);
    appendU16(out, withPicture ? 3 : 2);
    if (withPicture) appendPart(out, CAMERA_PART_K4I, k4i.data(), k4i.size());
    appendPart(out, CAMERA_PART_K4S, reinterpret_cast<const uint8_t*>(k4s.data()), k4s.size());
    appendPart(out, CAMERA_PART_REL, reinterpret_cast<const uint8_t*>(rel.data()), rel.size());
    return out;
}

// "failat.<n>=<percent>,<hex code>": the download of picture n breaks off with that code
// after that percentage has been reported. False when there is no such entry.
bool breakOff(const SimCamera& cam, uint16_t n, int& percent, uint16_t& code) {
    std::string text = camsimSetting(cam, "faults", "failat." + std::to_string(n));
    size_t comma = text.find(',');
    if (comma == std::string::npos) return false;
    percent = std::atoi(text.substr(0, comma).c_str());
    code = hexCode(trimmed(text.substr(comma + 1)));
    return code != 0;
}

}  // namespace

int ProgressTarget::send(int code, int value) const {
    if (callback2) return callback2(code, value);
    if (hook && hook->callback) return hook->callback(code, value, hook->userData);
    return PROGRESS_GO_ON;
}

std::string camsimFolder(int32_t port) {
    std::string base;
    char buffer[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("CAMSIM_ROOT", buffer, sizeof buffer);
    if (length > 0 && length < sizeof buffer) {
        base = buffer;
    } else {
        HMODULE self = nullptr;
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCSTR>(&camsimFolder), &self);
        length = GetModuleFileNameA(self, buffer, sizeof buffer);
        base = std::string(buffer, length < sizeof buffer ? length : 0);
        size_t slash = base.find_last_of("\\/");
        base = (slash == std::string::npos ? std::string(".") : base.substr(0, slash)) + "\\camsim";
    }
    char full[MAX_PATH];
    length = GetFullPathNameA(base.c_str(), sizeof full, full, nullptr);
    if (length > 0 && length < sizeof full) base = full;
    if (!base.empty() && base.back() == '\\') base.pop_back();
    // COM1 to COM9 are device names in every folder: C:\x\COM1 opens the serial port.
    // The \\?\ form of a path is taken literally, so the folder is reached by its name.
    if (base.compare(0, 4, "\\\\?\\") != 0)
        base = base.compare(0, 2, "\\\\") == 0 ? "\\\\?\\UNC\\" + base.substr(2) : "\\\\?\\" + base;
    return base + "\\COM" + std::to_string(port);
}

uint16_t camsimOpen(SimCamera& cam, int32_t port, int32_t bitsPerSecond) {
    camsimClose(cam);
    // An open that finds no camera must not be logged into the last camera's folder.
    cam.folder.clear();
    if (port < 1 || port > 99) return CAMSIM_ERR_BAD_ARGUMENT;
    std::string folder = camsimFolder(port);
    if (!isDirectory(folder)) return CAMSIM_ERR_NO_CAMERA;
    cam.folder = folder;

    const std::string ini = folder + "\\camera.ini";
    if (iniInt(ini, "camera", "family", 0) != cam.family) return CAMSIM_ERR_WRONG_CAMERA;

    cam.realtime = iniInt(ini, "line", "realtime", 0) == 1;
    cam.switchable = iniInt(ini, "camera", "switchable", 1) != 0;
    cam.bitsPerSecond = bitsPerSecond;
    cam.pictures[SIM_INTERNAL].clear();
    cam.pictures[SIM_CARD].clear();
    switch (cam.family) {
    case FAMILY_LX1:
        cam.medium = SIM_CARD;
        cam.pictures[SIM_CARD] = listPictures(folder + "\\card", ".k4i");
        break;
    case FAMILY_LX2:
        cam.medium = iniInt(ini, "camera", "medium", SIM_CARD) == SIM_INTERNAL ? SIM_INTERNAL : SIM_CARD;
        cam.pictures[SIM_CARD] = listPictures(folder + "\\card", ".k4i");
        cam.pictures[SIM_INTERNAL] = listPictures(folder + "\\internal", ".k4i");
        break;
    case FAMILY_LX3:
        cam.medium = SIM_INTERNAL;
        cam.pictures[SIM_INTERNAL] = listPictures(folder + "\\internal", ".jpg");
        break;
    }
    cam.current = camsimCount(cam) > 0 ? 1 : 0;
    cam.open = true;
    return 0;
}

void camsimClose(SimCamera& cam) {
    cam.open = false;
}

const std::vector<std::string>& camsimPictures(const SimCamera& cam) {
    return cam.pictures[cam.medium == SIM_INTERNAL ? SIM_INTERNAL : SIM_CARD];
}

uint16_t camsimCount(const SimCamera& cam) {
    size_t count = camsimPictures(cam).size();
    return static_cast<uint16_t>(count > 0xFFFF ? 0xFFFF : count);
}

uint16_t camsimStep(SimCamera& cam, int direction, uint16_t* current) {
    if (!current) return CAMSIM_ERR_BAD_ARGUMENT;
    uint16_t count = camsimCount(cam);
    if (count == 0) {
        cam.current = 0;
    } else {
        if (cam.current < 1 || cam.current > count) cam.current = 1;
        if (direction > 0) cam.current = cam.current == count ? 1 : cam.current + 1;
        else cam.current = cam.current == 1 ? count : cam.current - 1;
    }
    *current = cam.current;
    return 0;
}

std::string camsimSetting(const SimCamera& cam, const char* section, const std::string& key) {
    if (cam.folder.empty()) return "";
    return iniValue(cam.folder + "\\camera.ini", section, key);
}

uint16_t camsimFault(const SimCamera& cam, const std::string& key) {
    return hexCode(camsimSetting(cam, "faults", key));
}

void camsimLog(const SimCamera& cam, const std::string& line, uint16_t code) {
    if (cam.folder.empty()) return;  // no camera answered: there is no folder to log into
    FilePtr log(std::fopen((cam.folder + "\\calls.log").c_str(), "ab"));
    if (!log) return;
    std::fprintf(log.get(), "%s -> %x\r\n", line.c_str(), code);
}

uint16_t camsimDownload(SimCamera& cam, uint16_t n, const ProgressTarget& progress, HGLOBAL* data,
                        uint32_t* dataSize) {
    uint16_t code = camsimFault(cam, "picture." + std::to_string(n));
    if (code != 0) return code;
    const std::vector<std::string>& pictures = camsimPictures(cam);
    if (n < 1 || n > pictures.size()) return CAMSIM_ERR_NO_SUCH_PICTURE;

    std::vector<uint8_t> file;
    if (!readWholeFile(pictures[n - 1], file)) return CAMSIM_ERR_READ;
    std::vector<uint8_t> payload;
    if (cam.family == FAMILY_LX3) {
        payload.swap(file);
    } else {
        bool withPicture = camsimSetting(cam, "faults", "nodata." + std::to_string(n)) != "1";
        payload = cameraData(file, withPicture, fileName(pictures[n - 1]), n);
    }
    // GlobalAlloc refuses 0 bytes as a movable block worth handing out; an empty picture
    // file still gives the caller a block it can lock.
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, payload.empty() ? 1 : payload.size());
    if (!block) return DEC_ERR_NOMEMORY;

    int breakPercent = -1;
    uint16_t breakCode = 0;
    if (!breakOff(cam, n, breakPercent, breakCode)) breakPercent = -1;
    const bool sendsEnd = camsimSetting(cam, "faults", "noend") != "1";
    const bool paced = cam.realtime && cam.bitsPerSecond > 0;
    // Ten bits a byte on the line: eight data bits, a start and a stop bit.
    const double lineMilliseconds = paced ? payload.size() * 10.0 * 1000.0 / cam.bitsPerSecond : 0.0;
    const DWORD started = GetTickCount();

    code = 0;
    if (progress.send(PROGRESS_BEGIN, 0) == PROGRESS_HALT) code = CAM_ERR_CANCELLED;
    uint8_t* target = static_cast<uint8_t*>(GlobalLock(block));
    if (!target && code == 0) code = DEC_ERR_NOMEMORY;
    size_t copied = 0;
    for (int percent = 0; code == 0 && percent <= 100; ++percent) {
        size_t upTo = payload.size() * percent / 100;
        if (upTo > copied) {
            std::memcpy(target + copied, payload.data() + copied, upTo - copied);
            copied = upTo;
        }
        if (paced) {
            DWORD due = static_cast<DWORD>(lineMilliseconds * percent / 100.0);
            DWORD elapsed = GetTickCount() - started;
            if (due > elapsed) Sleep(due - elapsed);
        }
        if (progress.send(PROGRESS_PERCENT, percent) == PROGRESS_HALT) code = CAM_ERR_CANCELLED;
        else if (percent == breakPercent) code = breakCode;
    }
    if (target) GlobalUnlock(block);
    if (sendsEnd) progress.send(PROGRESS_END, 0);

    if (code != 0) {
        GlobalFree(block);
        return code;
    }
    *data = block;
    *dataSize = static_cast<uint32_t>(payload.size());
    return 0;
}

uint16_t camsimGetPicture(SimCamera& cam, uint16_t n, HGLOBAL* data, uint32_t* dataSize, void* info,
                          ProgressCallback2 progress) {
    if (data) *data = nullptr;
    if (dataSize) *dataSize = 0;
    return camsimCall(cam, "getpicture", "n=" + std::to_string(n), [&]() -> uint16_t {
        if (!data || !dataSize) return CAMSIM_ERR_BAD_ARGUMENT;
        if (info) ZeroMemory(info, 16);
        return camsimDownload(cam, n, ProgressTarget{progress, nullptr}, data, dataSize);
    });
}
