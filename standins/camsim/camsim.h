// The simulated camera behind the three camera stand-ins (VX1CM32, VX2CM32, VX3CM32).
// A camera is a folder: COM<N>\camera.ini says which family answers and which faults to
// play, the picture files under card\ and internal\ are what it holds, and every call is
// appended to COM<N>\calls.log. docs/simulated-cameras.md describes the folder.
// Each library keeps one SimCamera, like the real libraries keep one line open at a time.
#pragma once

#include <windows.h>
#include <cstdint>
#include <string>
#include <vector>

#include "win32/maker/maker_common.h"

// Our own failure codes. They keep clear of the maker's named codes (FF61, FF64, FE07) and of
// the decoders' 16/17/19, so a caller that acts on those can never mistake one of these.
enum : uint16_t {
    CAMSIM_ERR_NO_CAMERA      = 0xFF01,  // no folder for the port: nothing answers on the line
    CAMSIM_ERR_WRONG_CAMERA   = 0xFF02,  // the camera there is of another family
    CAMSIM_ERR_NOT_OPEN       = 0xFF03,  // call before camOpen or after camClose
    CAMSIM_ERR_BAD_ARGUMENT   = 0xFF04,  // null pointer, bad port, model or medium
    CAMSIM_ERR_BAD_SPEED      = 0xFF05,  // line speed the family does not support
    CAMSIM_ERR_NO_SUCH_PICTURE = 0xFF06, // picture number 0 or above the count
    CAMSIM_ERR_READ           = 0xFF07,  // the picture file cannot be read
    CAMSIM_ERR_BAD_HANDLE     = 0xFF08,  // LX-3: not the handle camOpen gave
};

enum CameraFamily : int { FAMILY_LX1 = 1, FAMILY_LX2 = 2, FAMILY_LX3 = 3 };

// Index of the picture lists; the values are the LX-2 media codes.
enum : int { SIM_INTERNAL = 0, SIM_CARD = 1 };

struct SimCamera {
    CameraFamily family;              // of the library that owns this record
    bool open;
    std::string folder;               // COM<N> of the last open; empty before the first one
    int32_t medium;                   // SIM_CARD or SIM_INTERNAL
    bool switchable;                  // LX-2: camSetMedium really switches
    bool realtime;                    // downloads take as long as the line would
    int32_t bitsPerSecond;
    std::vector<std::string> pictures[2];  // full paths, in byte order of the names
    uint16_t current;                 // 1-based; 0 while the medium holds no picture
};

inline SimCamera makeSimCamera(CameraFamily family) {
    SimCamera cam = {};
    cam.family = family;
    return cam;
}

// Sends the progress protocol to whichever callback form the library was given.
struct ProgressTarget {
    ProgressCallback2 callback2;
    const PROGRESS_HOOK* hook;
    int send(int code, int value) const;
};

// Folder of the camera on COM<port>: %CAMSIM_ROOT%\COM<port>, or camsim\COM<port> beside the
// library file. Always an absolute path.
std::string camsimFolder(int32_t port);

// Opens the camera on `port` for `family`: finds the folder, checks the family, reads the
// line and medium settings and lists the pictures. Does not log; the library logs the call.
uint16_t camsimOpen(SimCamera& cam, int32_t port, int32_t bitsPerSecond);
void camsimClose(SimCamera& cam);

// Pictures on the medium in use.
const std::vector<std::string>& camsimPictures(const SimCamera& cam);
uint16_t camsimCount(const SimCamera& cam);
// Moves one picture on (+1) or back (-1), wrapping round, and writes the new current picture.
uint16_t camsimStep(SimCamera& cam, int direction, uint16_t* current);

// Value of `key` in `section` of the camera's camera.ini, read now; "" when absent.
std::string camsimSetting(const SimCamera& cam, const char* section, const std::string& key);
// [faults] <key> as a hex code; 0 when absent or not a number.
uint16_t camsimFault(const SimCamera& cam, const std::string& key);

// Appends "<line> -> <code in hex>" to calls.log of the camera's folder.
void camsimLog(const SimCamera& cam, const std::string& line, uint16_t code);

// One download of picture n of the medium in use: reads the file, wraps it (LX-1, LX-2:
// camera data; LX-3: the file's bytes), plays begin, percentages and end (the end also
// after a stop or a break), and hands out a movable global block the caller owns.
uint16_t camsimDownload(SimCamera& cam, uint16_t n, const ProgressTarget& progress, HGLOBAL* data,
                        uint32_t* dataSize);

// camGetPicture of the LX-1 and LX-2 libraries, which take the same arguments: the outputs
// are cleared first, the 16-byte info block is zeroed, and the download is logged as one call.
uint16_t camsimGetPicture(SimCamera& cam, uint16_t n, HGLOBAL* data, uint32_t* dataSize, void* info,
                          ProgressCallback2 progress);

// Runs one library operation: checks that the camera is open, plays the [faults] entry of the
// operation instead of the body, and logs the call with its code. camOpen (`opening`) runs its
// body first, because only the body finds the folder whose camera.ini holds the faults; a
// faulted open leaves the camera closed. Nothing may escape into the caller of a stdcall
// export, so running out of memory becomes DEC_ERR_NOMEMORY.
template <typename Body>
uint16_t camsimCall(SimCamera& cam, const char* operation, const std::string& arguments, Body body,
                    bool opening = false) {
    uint16_t code;
    try {
        if (opening) {
            code = body();
            uint16_t fault = code == 0 ? camsimFault(cam, operation) : 0;
            if (fault != 0) {
                camsimClose(cam);
                code = fault;
            }
        } else if (!cam.open) {
            code = CAMSIM_ERR_NOT_OPEN;
        } else {
            uint16_t fault = camsimFault(cam, operation);
            code = fault != 0 ? fault : body();
        }
        camsimLog(cam, arguments.empty() ? std::string(operation) : operation + (" " + arguments), code);
    } catch (...) {
        code = DEC_ERR_NOMEMORY;
    }
    return code;
}
