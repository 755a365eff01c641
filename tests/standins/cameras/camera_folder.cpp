#include "camera_folder.h"

#include <fstream>
#include <sstream>
#include <utility>

namespace {

int g_folderSerial = 0;

void makeDirectories(const std::string& path) {
    size_t start = path.compare(0, 4, "\\\\?\\") == 0 ? 7 : 3;  // past the drive's backslash
    for (size_t slash = path.find('\\', start); slash != std::string::npos; slash = path.find('\\', slash + 1))
        CreateDirectoryA(path.substr(0, slash).c_str(), nullptr);
    CreateDirectoryA(path.c_str(), nullptr);
}

}  // namespace

void writeFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

KeptFile::KeptFile(std::string path)
    : path_(std::move(path)), existed_(GetFileAttributesA(path_.c_str()) != INVALID_FILE_ATTRIBUTES) {
    if (existed_) bytes_ = readFileBytes(path_);
}

KeptFile::~KeptFile() {
    DeleteFileA(path_.c_str());
    if (existed_) writeFileBytes(path_, bytes_);
}

std::string readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void removeTree(const std::string& anyPath) {
    const std::string path = anyPath.compare(0, 4, "\\\\?\\") == 0 ? anyPath : "\\\\?\\" + anyPath;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            std::string child = path + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) removeTree(child);
            else DeleteFileA(child.c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

CameraFolders::CameraFolders() {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    root_ = std::string(temp) + "camsim-test-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(++g_folderSerial);
    removeTree(root_);
    makeDirectories(root_);
    SetEnvironmentVariableA("CAMSIM_ROOT", root_.c_str());
}

CameraFolders::~CameraFolders() {
    SetEnvironmentVariableA("CAMSIM_ROOT", nullptr);
    removeTree(root_);
}

std::string CameraFolders::port(int port) const {
    // COM1-COM9 are device names in any folder unless the path is a literal \\?\ path.
    return "\\\\?\\" + root_ + "\\COM" + std::to_string(port);
}

void CameraFolders::makeCamera(int number, const std::string& ini) {
    makeDirectories(port(number));
    writeIni(number, ini);
}

void CameraFolders::writeIni(int number, const std::string& ini) {
    writeFileBytes(port(number) + "\\camera.ini", ini);
}

void CameraFolders::addFile(int number, const std::string& relativePath, const std::string& bytes) {
    std::string path = port(number) + "\\" + relativePath;
    makeDirectories(path.substr(0, path.find_last_of('\\')));
    writeFileBytes(path, bytes);
}

void CameraFolders::makeCameraWithPictures(int number, int family, const std::vector<std::string>& names,
                                           const std::string& extraIni) {
    makeCamera(number, "[camera]\r\nfamily=" + std::to_string(family) + "\r\n" + extraIni);
    for (const std::string& name : names)
        addFile(number, (family == 3 ? "internal\\" : "card\\") + name, "picture " + name);
}

std::vector<std::string> CameraFolders::log(int number) const {
    std::vector<std::string> lines;
    std::istringstream text(readFileBytes(port(number) + "\\calls.log"));
    std::string line;
    while (std::getline(text, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}
