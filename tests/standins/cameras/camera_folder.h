// Builds simulated camera folders for tests: a private CAMSIM_ROOT per test, COM<N> folders
// with camera.ini and picture files, and the calls.log read back line by line.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class CameraFolders {
public:
    // Makes a fresh root folder and points CAMSIM_ROOT at it.
    CameraFolders();
    // Removes the root with everything in it and clears CAMSIM_ROOT.
    ~CameraFolders();
    CameraFolders(const CameraFolders&) = delete;
    CameraFolders& operator=(const CameraFolders&) = delete;

    const std::string& root() const { return root_; }
    std::string port(int port) const;  // the folder COM<port>

    // COM<port> with camera.ini holding exactly `ini`.
    void makeCamera(int port, const std::string& ini);
    // Rewrites camera.ini of an existing camera.
    void writeIni(int port, const std::string& ini);
    // A picture file COM<port>\<relativePath> with the given bytes; folders are made as needed.
    void addFile(int port, const std::string& relativePath, const std::string& bytes);
    // A camera of `family` with pictures named in the family's folder (internal\*.jpg for
    // LX-3, card\*.k4i otherwise), each holding "picture <name>".
    void makeCameraWithPictures(int port, int family, const std::vector<std::string>& names,
                                const std::string& extraIni = "");

    std::vector<std::string> log(int port) const;

private:
    std::string root_;
};

void writeFileBytes(const std::string& path, const std::string& bytes);

// Keeps a file's bytes aside while it lives and puts them back when it goes: the file is as it
// was before, or absent when it was absent, whatever happened to it in between.
class KeptFile {
public:
    explicit KeptFile(std::string path);
    ~KeptFile();
    KeptFile(const KeptFile&) = delete;
    KeptFile& operator=(const KeptFile&) = delete;

private:
    std::string path_;
    bool existed_;
    std::string bytes_;
};

std::string readFileBytes(const std::string& path);
void removeTree(const std::string& path);
