// A fault at every step: for each camera family, each library call the source makes in connect,
// picture stepping, selection, download, the position read after the transfers and the medium
// switch fails in turn (the simulated cameras' [faults] settings), and the user cancels each
// progress dialog at its first, a middle and its last step. Every case comes from the one table
// below and checks, besides its own expected box, link and pictures:
//   * no picture half-delivered: a transfer hands over a whole picture or reports no picture,
//     and every picture received is the one the camera holds under that number;
//   * the temporary folder empty;
//   * the next enable works without restarting the application: the faults are taken away, the
//     application disables and enables the source again (opening it anew after a close
//     request), the user connects where the link went, selects the picture shown (all three the
//     first time for each family) and presses OK, and it arrives whole by the same mechanism.
// FAULT_TABLE_REPORT=<file> writes the observed outcomes as a Markdown table (docs/reliability.md).
#include "source_driver.h"

#include "folder_entries.h"
#include "message_box_recorder.h"
#include "resources/resource_ids.h"
#include "../standins/cameras/camera_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>

namespace {

// Where in the user's and application's work the camera breaks.
enum class Step {
    Connect,       // the fault is there before the camera-link button is pressed
    Next,          // >> after connecting
    Previous,      // <<
    Jump,          // a number typed into the picture box (LX-3)
    Select,        // SELECT, which moves on to the next picture
    Medium,        // the internal-memory radio (LX-2)
    Download,      // SELECT ALL, OK, every picture transferred
    PositionRead,  // as Download, the fault set after OK: it meets the position read after the last transfer
    Disconnect,    // the camera-link button pressed again
    CloseBox,      // the window's close box
    CancelButton,  // the window's CANCEL
};

enum class Box { None, CannotConnect, Communication };
enum class Link { Kept, Closed, NeverOpened };

const char DOWNLOAD_DIALOG[] = "Now Loading ...";
const char DECODE_DIALOG[] = "Changing Image Data...";

struct Case {
    int family;
    Step step;
    const char* fault;      // [faults] lines; "garbage.2" replaces picture 2 by bytes of no picture
    TW_UINT16 mechanism;
    const char* cancelDialog;  // null: no cancel
    int cancelPicture;         // the cancel comes in this picture's dialog ...
    int cancelPercent;         // ... when it shows this percentage
    // What the source's rules give:
    Box box;
    const char* code;          // the code in the box
    Link link;
    const char* delivered;     // the pictures that arrive, in order ("" none)
    TW_UINT16 stopAnswer;      // the answer of the transfer that met the fault or cancel (0: none met one);
                               // a failure or a cancel sets TWCC_OPERATIONERROR, a selection that
                               // ran out early answers TWRC_CANCEL with no condition
};

// Short names for the table's columns.
constexpr Box NO_BOX = Box::None, CANNOT_CONNECT = Box::CannotConnect, COMMUNICATION = Box::Communication;
constexpr Link KEPT = Link::Kept, CLOSED = Link::Closed, NEVER_OPENED = Link::NeverOpened;
constexpr TW_UINT16 CANCEL = TWRC_CANCEL, DONE = TWRC_XFERDONE;
constexpr TW_UINT16 NATIVE = TWSX_NATIVE;
constexpr TW_UINT16 MEMORY = TWSX_MEMORY;
constexpr TW_UINT16 NONE = 0;

// clang-format off
const Case CASES[] = {
    // Connecting.
    {1, Step::Connect, "open=ff42",      NATIVE, nullptr, 0, 0, CANNOT_CONNECT, "ff42", NEVER_OPENED, "", NONE},
    {1, Step::Connect, "getstatus=ff42", NATIVE, nullptr, 0, 0, CANNOT_CONNECT, "ff42", CLOSED, "", NONE},
    {2, Step::Connect, "open=ff42",      NATIVE, nullptr, 0, 0, CANNOT_CONNECT, "ff42", NEVER_OPENED, "", NONE},
    {2, Step::Connect, "getstatus=ff42", NATIVE, nullptr, 0, 0, CANNOT_CONNECT, "ff42", CLOSED, "", NONE},
    {3, Step::Connect, "open=ff42",      NATIVE, nullptr, 0, 0, CANNOT_CONNECT, "ff42", NEVER_OPENED, "", NONE},
    {3, Step::Connect, "getcurrent=ff42", NATIVE, nullptr, 0, 0, CANNOT_CONNECT, "ff42", CLOSED, "", NONE},
    {3, Step::Connect, "getcount=ff42",  NATIVE, nullptr, 0, 0, CANNOT_CONNECT, "ff42", CLOSED, "", NONE},
    // Stepping through the pictures.
    {1, Step::Next,     "nextpicture=ff42", NATIVE, nullptr, 0, 0, COMMUNICATION, "ff42", CLOSED, "", NONE},
    {2, Step::Next,     "nextpicture=ff42", NATIVE, nullptr, 0, 0, COMMUNICATION, "ff42", CLOSED, "", NONE},
    {3, Step::Next,     "nextpicture=ff42", NATIVE, nullptr, 0, 0, COMMUNICATION, "ff42", CLOSED, "", NONE},
    {1, Step::Previous, "prevpicture=ff42", NATIVE, nullptr, 0, 0, COMMUNICATION, "ff42", CLOSED, "", NONE},
    {2, Step::Previous, "prevpicture=ff42", NATIVE, nullptr, 0, 0, COMMUNICATION, "ff42", CLOSED, "", NONE},
    {3, Step::Previous, "prevpicture=ff42", NATIVE, nullptr, 0, 0, COMMUNICATION, "ff42", CLOSED, "", NONE},
    {3, Step::Jump,     "gotopicture=ff42", NATIVE, nullptr, 0, 0, COMMUNICATION, "ff42", CLOSED, "", NONE},
    // Selecting.
    {1, Step::Select, "nextpicture=ff42", NATIVE, nullptr, 0, 0, COMMUNICATION, "ff42", CLOSED, "", NONE},
    {2, Step::Select, "nextpicture=ff42", NATIVE, nullptr, 0, 0, COMMUNICATION, "ff42", CLOSED, "", NONE},
    {3, Step::Select, "nextpicture=ff42", NATIVE, nullptr, 0, 0, COMMUNICATION, "ff42", CLOSED, "", NONE},
    // Switching the medium.
    {2, Step::Medium, "getstatus=ff42", NATIVE, nullptr, 0, 0, COMMUNICATION, "ff42", CLOSED, "", NONE},
    {2, Step::Medium, "setmedium=ff42", NATIVE, nullptr, 0, 0, COMMUNICATION, "ff42", CLOSED, "", NONE},
    // Downloading: every picture, or picture 2 only.
    {1, Step::Download, "getpicture=ff42", NATIVE, nullptr, 0, 0, COMMUNICATION, "ff42", CLOSED, "", CANCEL},
    {2, Step::Download, "getpicture=ff42", NATIVE, nullptr, 0, 0, COMMUNICATION, "ff42", CLOSED, "", CANCEL},
    {3, Step::Download, "getpicture=ff42", NATIVE, nullptr, 0, 0, COMMUNICATION, "ff42", CLOSED, "", CANCEL},
    {1, Step::Download, "getpicture=ff42", MEMORY, nullptr, 0, 0, COMMUNICATION, "ff42", CLOSED, "", NONE},
    {2, Step::Download, "getpicture=ff42", MEMORY, nullptr, 0, 0, COMMUNICATION, "ff42", CLOSED, "", NONE},
    {3, Step::Download, "getpicture=ff42", MEMORY, nullptr, 0, 0, COMMUNICATION, "ff42", CLOSED, "", NONE},
    {1, Step::Download, "picture.2=ff42", NATIVE, nullptr, 0, 0, COMMUNICATION, "ff42", CLOSED, "1", CANCEL},
    {2, Step::Download, "picture.2=ff42", NATIVE, nullptr, 0, 0, COMMUNICATION, "ff42", CLOSED, "1", CANCEL},
    {3, Step::Download, "picture.2=ff42", NATIVE, nullptr, 0, 0, COMMUNICATION, "ff42", CLOSED, "1", CANCEL},
    {1, Step::Download, "picture.2=ff42", MEMORY, nullptr, 0, 0, COMMUNICATION, "ff42", CLOSED, "1", DONE},
    {2, Step::Download, "picture.2=ff42", MEMORY, nullptr, 0, 0, COMMUNICATION, "ff42", CLOSED, "1", DONE},
    {3, Step::Download, "picture.2=ff42", MEMORY, nullptr, 0, 0, COMMUNICATION, "ff42", CLOSED, "1", DONE},
    {1, Step::Download, "failat.2=50,ff42", NATIVE, nullptr, 0, 0, COMMUNICATION, "ff42", CLOSED, "1", CANCEL},
    {2, Step::Download, "failat.2=50,ff42", MEMORY, nullptr, 0, 0, COMMUNICATION, "ff42", CLOSED, "1", DONE},
    {3, Step::Download, "failat.2=50,ff42", NATIVE, nullptr, 0, 0, COMMUNICATION, "ff42", CLOSED, "1", CANCEL},
    {3, Step::Download, "failat.1=50,ff42", MEMORY, nullptr, 0, 0, COMMUNICATION, "ff42", CLOSED, "", NONE},
    {1, Step::Download, "picture.2=ff64", NATIVE, nullptr, 0, 0, NO_BOX, "", KEPT, "1,3", CANCEL},
    {2, Step::Download, "picture.2=ff64", MEMORY, nullptr, 0, 0, NO_BOX, "", KEPT, "1,3", NONE},
    {3, Step::Download, "picture.2=ff64", NATIVE, nullptr, 0, 0, COMMUNICATION, "ff64", CLOSED, "1", CANCEL},
    {1, Step::Download, "nodata.2=1", MEMORY, nullptr, 0, 0, NO_BOX, "", KEPT, "1,3", NONE},
    {2, Step::Download, "nodata.2=1", NATIVE, nullptr, 0, 0, NO_BOX, "", KEPT, "1,3", CANCEL},
    {1, Step::Download, "garbage.2", NATIVE, nullptr, 0, 0, NO_BOX, "", KEPT, "1,3", CANCEL},
    {3, Step::Download, "garbage.2", MEMORY, nullptr, 0, 0, COMMUNICATION, "3", CLOSED, "1", DONE},
    // The position read after the last picture.
    {1, Step::PositionRead, "getstatus=ff42",  NATIVE, nullptr, 0, 0, COMMUNICATION, "ff42", CLOSED, "1,2,3", NONE},
    {2, Step::PositionRead, "getstatus=ff42",  MEMORY, nullptr, 0, 0, COMMUNICATION, "ff42", CLOSED, "1,2,3", NONE},
    {3, Step::PositionRead, "getcurrent=ff42", NATIVE, nullptr, 0, 0, COMMUNICATION, "ff42", CLOSED, "1,2,3", NONE},
    {3, Step::PositionRead, "getcount=ff42",   MEMORY, nullptr, 0, 0, COMMUNICATION, "ff42", CLOSED, "1,2,3", NONE},
    // Closing the link.
    {1, Step::Disconnect, "close=ff42", NATIVE, nullptr, 0, 0, CANNOT_CONNECT, "ff42", CLOSED, "", NONE},
    {2, Step::Disconnect, "close=ff42", NATIVE, nullptr, 0, 0, NO_BOX, "", CLOSED, "", NONE},
    {3, Step::Disconnect, "close=ff42", NATIVE, nullptr, 0, 0, CANNOT_CONNECT, "ff42", CLOSED, "", NONE},
    {1, Step::CloseBox, "close=ff42", NATIVE, nullptr, 0, 0, NO_BOX, "", CLOSED, "", NONE},
    {3, Step::CloseBox, "close=ff42", NATIVE, nullptr, 0, 0, NO_BOX, "", CLOSED, "", NONE},
    {2, Step::CancelButton, "close=ff42", NATIVE, nullptr, 0, 0, NO_BOX, "", CLOSED, "", NONE},
    {3, Step::CancelButton, "close=ff42", NATIVE, nullptr, 0, 0, NO_BOX, "", CLOSED, "", NONE},
    // The user cancels picture 2's download or decode at its first, a middle and its last step (native).
    {1, Step::Download, "", NATIVE, DOWNLOAD_DIALOG, 2, 0,   NO_BOX, "", KEPT, "1", CANCEL},
    {1, Step::Download, "", NATIVE, DOWNLOAD_DIALOG, 2, 50,  NO_BOX, "", KEPT, "1", CANCEL},
    {1, Step::Download, "", NATIVE, DOWNLOAD_DIALOG, 2, 100, NO_BOX, "", KEPT, "1,2,3", NONE},
    {1, Step::Download, "", NATIVE, DECODE_DIALOG,   2, 0,   NO_BOX, "", KEPT, "1", CANCEL},
    {1, Step::Download, "", NATIVE, DECODE_DIALOG,   2, 50,  NO_BOX, "", KEPT, "1", CANCEL},
    {1, Step::Download, "", NATIVE, DECODE_DIALOG,   2, 100, NO_BOX, "", KEPT, "1", CANCEL},
    {2, Step::Download, "", NATIVE, DOWNLOAD_DIALOG, 2, 0,   NO_BOX, "", KEPT, "1", CANCEL},
    {2, Step::Download, "", NATIVE, DOWNLOAD_DIALOG, 2, 50,  NO_BOX, "", KEPT, "1", CANCEL},
    {2, Step::Download, "", NATIVE, DOWNLOAD_DIALOG, 2, 100, NO_BOX, "", KEPT, "1,2,3", NONE},
    {2, Step::Download, "", NATIVE, DECODE_DIALOG,   2, 0,   NO_BOX, "", KEPT, "1", CANCEL},
    {2, Step::Download, "", NATIVE, DECODE_DIALOG,   2, 50,  NO_BOX, "", KEPT, "1", CANCEL},
    {2, Step::Download, "", NATIVE, DECODE_DIALOG,   2, 100, NO_BOX, "", KEPT, "1", CANCEL},
    {3, Step::Download, "", NATIVE, DOWNLOAD_DIALOG, 2, 0,   NO_BOX, "", KEPT, "1", CANCEL},
    {3, Step::Download, "", NATIVE, DOWNLOAD_DIALOG, 2, 50,  NO_BOX, "", KEPT, "1", CANCEL},
    {3, Step::Download, "", NATIVE, DOWNLOAD_DIALOG, 2, 100, NO_BOX, "", KEPT, "1", CANCEL},
    {3, Step::Download, "", NATIVE, DECODE_DIALOG,   2, 0,   NO_BOX, "", KEPT, "1", CANCEL},
    {3, Step::Download, "", NATIVE, DECODE_DIALOG,   2, 50,  NO_BOX, "", KEPT, "1", CANCEL},
    {3, Step::Download, "", NATIVE, DECODE_DIALOG,   2, 100, NO_BOX, "", KEPT, "1", CANCEL},
    // By memory transfer: picture 1 is fetched at OK, picture 2 in the call of picture 1's last strip.
    {1, Step::Download, "", MEMORY, DOWNLOAD_DIALOG, 1, 50, NO_BOX, "", KEPT, "", NONE},
    {2, Step::Download, "", MEMORY, DECODE_DIALOG,   1, 50, NO_BOX, "", KEPT, "", NONE},
    {3, Step::Download, "", MEMORY, DOWNLOAD_DIALOG, 1, 50, NO_BOX, "", KEPT, "", NONE},
    {1, Step::Download, "", MEMORY, DECODE_DIALOG,   2, 50, NO_BOX, "", KEPT, "1", DONE},
    {2, Step::Download, "", MEMORY, DOWNLOAD_DIALOG, 2, 50, NO_BOX, "", KEPT, "1", DONE},
    {3, Step::Download, "", MEMORY, DECODE_DIALOG,   2, 50, NO_BOX, "", KEPT, "1", DONE},
    // A cancel at OK, then the camera fails to tell where it stands.
    {1, Step::Download, "getstatus=ff42",  MEMORY, DOWNLOAD_DIALOG, 1, 50, COMMUNICATION, "ff42", CLOSED, "", NONE},
    {2, Step::Download, "getstatus=ff42",  MEMORY, DECODE_DIALOG,   1, 50, COMMUNICATION, "ff42", CLOSED, "", NONE},
    {3, Step::Download, "getcurrent=ff42", MEMORY, DOWNLOAD_DIALOG, 1, 50, COMMUNICATION, "ff42", CLOSED, "", NONE},
};
// clang-format on

// The three pictures each camera holds, all of different sizes, so a wrong one shows.
const char* const LX12_PICTURES[] = {"k4i_17x9.k4i", "k4i_1x1.k4i", "k4i_o1.k4i"};
const char* const LX3_PICTURES[] = {"odd_17x9.jpg", "gray_33x20.jpg", "exif_o1.jpg"};
const SIZE PICTURE_SIZES[] = {{17, 9}, {0, 0}, {641, 479}};  // picture 2 differs by family

SIZE pictureSize(int family, int number)
{
    if (number == 2) return family == 3 ? SIZE{33, 20} : SIZE{1, 1};
    return PICTURE_SIZES[number - 1];
}

const char* stepName(Step step)
{
    switch (step) {
    case Step::Connect:      return "connect";
    case Step::Next:         return ">>";
    case Step::Previous:     return "<<";
    case Step::Jump:         return "number typed";
    case Step::Select:       return "SELECT";
    case Step::Medium:       return "internal memory";
    case Step::Download:     return "download";
    case Step::PositionRead: return "position after the last picture";
    case Step::Disconnect:   return "camera-link button (disconnect)";
    case Step::CloseBox:     return "close box";
    case Step::CancelButton: return "CANCEL";
    }
    return "?";
}

std::string boxText(Box box, const char* code)
{
    switch (box) {
    case Box::None:          return "";
    case Box::CannotConnect:
        return std::string("Cannot connect to the camera.\nPlease check the connection.(") + code + ")";
    case Box::Communication: return std::string("Communication failure.\nPlease reset the camera.(") + code + ")";
    }
    return "";
}

std::string caseName(const Case& c);

// gtest prints a case by its name.
void PrintTo(const Case& c, std::ostream* out)
{
    *out << caseName(c);
}

std::string answerName(TW_UINT16 answer)
{
    switch (answer) {
    case NONE:          return "-";
    case TWRC_CANCEL:   return "TWRC_CANCEL";
    case TWRC_XFERDONE: return "TWRC_XFERDONE";
    case TWRC_FAILURE:  return "TWRC_FAILURE";
    default:            return std::to_string(answer);
    }
}

std::string samplePath(const std::string& name)
{
    return std::string(SAMPLES_DIR) + "\\" + name;
}

// What one case produced, for the checks and the report.
struct Observed {
    std::vector<std::string> boxes;
    std::string delivered;
    TW_UINT16 stopAnswer = NONE;
    TW_UINT16 stopCondition = 0;
    bool linkOpen = false;       // the camera's log: an open not followed by a close
    bool opened = false;         // the camera's log shows an open that succeeded
    std::string page;
    bool announced = false;
    bool closeRequested = false;
    bool cancelPressed = false;
};

std::string linkName(const Observed& seen)
{
    if (!seen.opened) return "never opened";
    return seen.linkOpen ? "kept" : "closed";
}

std::vector<std::string> g_report;

// A box as the report shows it: its first line and its code.
std::string shortBox(const std::string& text)
{
    if (text.empty()) return "none";
    return "\"" + text.substr(0, text.find('\n')) + "\" " + text.substr(text.rfind('('));
}

std::string reportRow(const Case& c, const Observed& seen)
{
    std::string cancel = "-";
    if (c.cancelDialog)
        cancel = std::string(c.cancelDialog == DOWNLOAD_DIALOG ? "download" : "decode") + " of picture " +
                 std::to_string(c.cancelPicture) + " at " + std::to_string(c.cancelPercent) + "%";
    return "| LX-" + std::to_string(c.family) + " | " + stepName(c.step) + " | " + (c.fault[0] ? c.fault : "-") +
           " | " + (c.mechanism == MEMORY ? "memory" : "native") + " | " + cancel + " | " +
           shortBox(seen.boxes.empty() ? "" : seen.boxes[0]) + (seen.boxes.size() > 1 ? " and more" : "") + " | " +
           linkName(seen) + " | " + (seen.delivered.empty() ? "none" : seen.delivered) + " | " +
           answerName(seen.stopAnswer) +
           (seen.stopAnswer == NONE                          ? ""
            : seen.stopCondition == TWCC_OPERATIONERROR ? ", TWCC_OPERATIONERROR"
                                                        : ", no condition") +
           " |";
}

std::string caseName(const Case& c)
{
    std::string name = "LX" + std::to_string(c.family) + "_" + stepName(c.step);
    if (c.fault[0]) name += std::string("_") + c.fault;
    if (c.cancelDialog)
        name += std::string("_cancel_") + (c.cancelDialog == DOWNLOAD_DIALOG ? "download" : "decode") + "_picture" +
                std::to_string(c.cancelPicture) + "_at" + std::to_string(c.cancelPercent);
    name += c.mechanism == MEMORY ? "_memory" : "_native";
    for (char& ch : name)
        if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
    return name;
}

class FaultTable : public ::testing::TestWithParam<Case> {
protected:
    static void SetUpTestSuite() { driver = new SourceDriver; }
    static void TearDownTestSuite()
    {
        delete driver;
        driver = nullptr;
        if (const char* path = std::getenv("FAULT_TABLE_REPORT")) {
            std::ofstream out(path, std::ios::trunc);
            out << "| family | step | fault | mechanism | cancel | box | link | pictures received "
                   "| answer at the stop |\n";
            out << "|---|---|---|---|---|---|---|---|---|\n";
            for (const std::string& row : g_report) out << row << "\n";
        }
    }

    void SetUp() override
    {
        ASSERT_TRUE(driver->loaded()) << "LX3TWS32.ds not loaded from " << SOURCE_PATH;
        temporary = folders.root() + "\\temp";
        CreateDirectoryA(temporary.c_str(), nullptr);
        char previous[MAX_PATH] = "";
        GetEnvironmentVariableA("TMP", previous, sizeof previous);
        previousTmp = previous;
        SetEnvironmentVariableA("TMP", temporary.c_str());
    }
    void TearDown() override
    {
        // A case that stopped half way leaves the source as it was: closed for the next one.
        if (HasFailure()) {
            driver->disable();
            driver->close();
        }
        SetEnvironmentVariableA("TMP", previousTmp.empty() ? nullptr : previousTmp.c_str());
    }

    // A camera of the case's family on COM1 with its three pictures (and picture 2 replaced by
    // bytes of no picture when the case says so); faults as given.
    void makeCamera(const Case& c, const std::string& faults)
    {
        folders.makeCamera(1, "[camera]\r\nfamily=" + std::to_string(c.family) + "\r\n[faults]\r\n" + faults);
        for (int i = 0; i < 3; ++i) {
            char file[32];
            wsprintfA(file, c.family == 3 ? "internal\\P%03d.jpg" : "card\\P%03d.k4i", i + 1);
            std::string bytes = readFileBytes(samplePath(c.family == 3 ? LX3_PICTURES[i] : LX12_PICTURES[i]));
            if (i == 1 && std::string(c.fault) == "garbage.2") bytes = std::string(3000, 'x');
            folders.addFile(1, file, bytes);
        }
    }
    void setFaults(const Case& c, const std::string& faults)
    {
        folders.writeIni(1, "[camera]\r\nfamily=" + std::to_string(c.family) + "\r\n[faults]\r\n" + faults);
    }
    std::string faultLines(const Case& c) const
    {
        std::string lines = c.fault;
        if (lines == "garbage.2") return "";
        for (size_t at = lines.find(' '); at != std::string::npos; at = lines.find(' ')) lines.replace(at, 1, "\r\n");
        return lines + "\r\n";
    }

    // The camera's log: whether the last open succeeded and was not followed by a close.
    void readLink(Observed& seen)
    {
        seen.opened = false;
        seen.linkOpen = false;
        for (const std::string& line : folders.log(1)) {
            const std::string succeeded = " -> 0";
            if (line.rfind("open ", 0) == 0 && line.size() > succeeded.size() &&
                line.compare(line.size() - succeeded.size(), succeeded.size(), succeeded) == 0) {
                seen.opened = true;
                seen.linkOpen = true;
            } else if (line.rfind("close", 0) == 0) {
                seen.linkOpen = false;
            }
        }
    }

    std::vector<std::string> errorBoxes() const
    {
        std::vector<std::string> texts;
        for (const RecordedBox& box : boxes.boxes())
            if (box.caption == "MELVO DIGITAL CAMERA ERROR") texts.push_back(box.text);
        return texts;
    }

    // The application's part after an announcement: every pending picture by the mechanism,
    // MSG_ENDXFER after each, until the source has none left. Checks each picture received.
    void transferAll(const Case& c, Observed& seen)
    {
        for (int round = 0; round < 10; ++round) {
            const TransferResult result = c.mechanism == MEMORY ? driver->memoryTransfer() : driver->nativeTransfer();
            EXPECT_FALSE(result.halfDelivered) << "a picture arrived only in part";
            EXPECT_FALSE(result.handleWithFailure) << "a failed native transfer left a handle";
            if (result.delivered) {
                const int number = pictureNumber(c, result.picture);
                EXPECT_NE(0, number) << "a picture of " << result.picture.width << " x " << result.picture.height
                                     << " that the camera does not hold under its number";
                seen.delivered += (seen.delivered.empty() ? "" : ",") + std::to_string(number);
            }
            // A memory transfer's last strip fetches the next picture: a failure there is told by
            // the condition code of an otherwise finished transfer.
            const bool stopped = result.answer != TWRC_XFERDONE || result.condition != 0;
            if (stopped && seen.stopAnswer == NONE) {
                seen.stopAnswer = result.answer;
                seen.stopCondition = result.condition;
            }
            const int left = driver->endTransfer();
            if (left <= 0) break;
            if (stopped) {
                ADD_FAILURE() << "the source still announces " << left << " picture(s) after "
                              << answerName(result.answer);
                break;
            }
        }
    }

    int pictureNumber(const Case& c, const Received& picture)
    {
        for (int number = 1; number <= 3; ++number) {
            const SIZE size = pictureSize(c.family, number);
            if (picture.width != size.cx || picture.height != size.cy) continue;
            // The same picture as the clean run received under that number.
            auto known = reference.find({c.family, number});
            if (known != reference.end() && known->second.rgb != picture.rgb) return 0;
            return number;
        }
        return 0;
    }

    void runTheCase(const Case& c, Observed& seen)
    {
        const bool faultFirst = c.step == Step::Connect;
        makeCamera(c, faultFirst ? faultLines(c) : "");
        ASSERT_EQ(TWRC_SUCCESS, driver->open());
        ASSERT_EQ(TWRC_SUCCESS, driver->setMechanism(c.mechanism));
        ASSERT_EQ(TWRC_SUCCESS, driver->enable());
        if (faultFirst) {
            CameraUser::connect(c.family);
            return;
        }
        ASSERT_TRUE(CameraUser::connect(c.family)) << CameraUser::page();
        boxes.clear();
        if (c.step != Step::PositionRead) setFaults(c, faultLines(c));
        switch (c.step) {
        case Step::Next:         CameraUser::click(IDC_NEXT); break;
        case Step::Previous:     CameraUser::click(IDC_PREV); break;
        case Step::Jump:         CameraUser::type("2"); break;
        case Step::Select:       CameraUser::click(IDC_SELECT); break;
        case Step::Medium:       CameraUser::click(IDC_MEMORY); break;
        case Step::Disconnect:   CameraUser::click(IDC_CAMERA); break;
        case Step::CloseBox:     CameraUser::closeBox(); break;
        case Step::CancelButton: CameraUser::click(IDCANCEL); break;
        case Step::Download:
        case Step::PositionRead: {
            CameraUser::click(IDC_SELECTALL);
            driver->clearNotifications();
            std::unique_ptr<CancelInDialog> cancel;
            if (c.cancelDialog) cancel.reset(new CancelInDialog(c.cancelDialog, c.cancelPicture, c.cancelPercent));
            CameraUser::click(IDC_OK);
            if (c.step == Step::PositionRead) setFaults(c, faultLines(c));
            seen.announced = driver->notifications(MSG_XFERREADY) > 0;
            if (seen.announced) transferAll(c, seen);
            seen.cancelPressed = cancel && cancel->pressed();
            break;
        }
        default:
            break;
        }
    }

    // After the case: no faults, the application enables the source again (opening it anew
    // when it asked to be closed), and the pictures selected arrive.
    void recover(const Case& c, const Observed& seen)
    {
        makeCamera(Case{c.family, c.step, "", c.mechanism, nullptr, 0, 0, Box::None, "", Link::Kept, "", NONE}, "");
        boxes.clear();
        driver->disable();
        if (seen.closeRequested) {
            ASSERT_EQ(TWRC_SUCCESS, driver->close());
            ASSERT_EQ(TWRC_SUCCESS, driver->open());
            ASSERT_EQ(TWRC_SUCCESS, driver->setMechanism(c.mechanism));
        }
        ASSERT_EQ(TWRC_SUCCESS, driver->enable());
        if (CameraUser::page() == "offline") {
            ASSERT_TRUE(CameraUser::connect(c.family)) << "reconnecting";
        }
        ASSERT_EQ("online", CameraUser::page());
        // The first recovery of a family takes all three pictures as the references every later
        // picture of that number must equal; later ones take the picture shown.
        const bool firstOfFamily = reference.count({c.family, 1}) == 0;
        CameraUser::click(firstOfFamily ? IDC_SELECTALL : IDC_SELECT);
        driver->clearNotifications();
        CameraUser::click(IDC_OK);
        ASSERT_EQ(1, driver->notifications(MSG_XFERREADY)) << "OK after the recovery";
        const int count = firstOfFamily ? 3 : 1;
        for (int picture = 1; picture <= count; ++picture) {
            const TransferResult result = c.mechanism == MEMORY ? driver->memoryTransfer() : driver->nativeTransfer();
            ASSERT_TRUE(result.delivered) << "picture " << picture << " after the recovery: "
                                          << answerName(result.answer);
            if (firstOfFamily) {
                const SIZE size = pictureSize(c.family, picture);
                EXPECT_EQ(size.cx, result.picture.width);
                EXPECT_EQ(size.cy, result.picture.height);
                reference[{c.family, picture}] = result.picture;
            } else {
                EXPECT_NE(0, pictureNumber(c, result.picture)) << "the picture after the recovery";
            }
            EXPECT_EQ(count - picture, driver->endTransfer());
        }
        EXPECT_TRUE(errorBoxes().empty()) << errorBoxes().at(0);
        EXPECT_EQ(TWRC_SUCCESS, driver->disable());
        EXPECT_EQ(TWRC_SUCCESS, driver->close());
        Observed closed;
        readLink(closed);
        EXPECT_FALSE(closed.linkOpen) << "closing the source closes the link";
        EXPECT_EQ(nullptr, cameraWindow()) << "closing the source takes its window";
    }

    static SourceDriver* driver;
    static std::map<std::pair<int, int>, Received> reference;
    MessageBoxRecorder boxes;
    CameraFolders folders;
    KeptFile settings{settingsFile()};
    std::string temporary;
    std::string previousTmp;

    static std::string settingsFile()
    {
        char windows[MAX_PATH] = "";
        GetWindowsDirectoryA(windows, sizeof windows);
        return std::string(windows) + "\\lx3twain.ini";
    }
};

SourceDriver* FaultTable::driver = nullptr;
std::map<std::pair<int, int>, Received> FaultTable::reference;

TEST_P(FaultTable, GivesTheBoxAndLinkOfTheRulesAndLosesNothing)
{
    const Case& c = GetParam();
    Observed seen;
    runTheCase(c, seen);
    pumpMessages();
    seen.boxes = errorBoxes();
    seen.closeRequested = driver->notifications(MSG_CLOSEDSREQ) > 0;
    seen.page = CameraUser::page();
    readLink(seen);

    // The box, the link and the window as the rules give them.
    const std::string expectedBox = boxText(c.box, c.code);
    EXPECT_EQ(expectedBox.empty() ? std::vector<std::string>{} : std::vector<std::string>{expectedBox}, seen.boxes);
    switch (c.link) {
    case Link::NeverOpened: EXPECT_FALSE(seen.opened) << "the camera was opened"; break;
    case Link::Kept:        EXPECT_TRUE(seen.linkOpen) << "the link was closed"; break;
    case Link::Closed:      EXPECT_TRUE(seen.opened && !seen.linkOpen) << "the link was left open"; break;
    }
    const bool windowGone = c.step == Step::CloseBox || c.step == Step::CancelButton;
    if (windowGone) {
        EXPECT_TRUE(seen.closeRequested) << "the source did not ask to be closed";
        EXPECT_EQ("no window", seen.page);
    } else {
        EXPECT_EQ(c.link == Link::Kept ? "online" : "offline", seen.page) << "the window follows the link";
    }
    // The pictures, and how the transfer that met the fault or cancel answered.
    EXPECT_EQ(c.delivered, seen.delivered);
    EXPECT_EQ(answerName(c.stopAnswer), answerName(seen.stopAnswer));
    if (c.stopAnswer != NONE) {
        EXPECT_EQ(c.box != Box::None || c.cancelDialog ? TWCC_OPERATIONERROR : TWCC_SUCCESS, seen.stopCondition);
    }
    if (c.cancelDialog) {
        EXPECT_TRUE(seen.cancelPressed) << "the dialog never showed " << c.cancelPercent << "%";
    }
    // Nothing left in the temporary folder.
    EXPECT_EQ(std::vector<std::string>{}, folderEntries(temporary));

    g_report.push_back(reportRow(c, seen));

    recover(c, seen);
    EXPECT_EQ(std::vector<std::string>{}, folderEntries(temporary)) << "after the recovery";
}

INSTANTIATE_TEST_SUITE_P(EveryStep, FaultTable, ::testing::ValuesIn(CASES),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             return std::to_string(info.index) + "_" + caseName(info.param);
                         });

// An application that keeps the default transfer mechanism after one that chose memory
// transfer, in the same process: the source stays loaded between them and the choice with it, so
// OK fetches the first picture as for a memory transfer; the native transfers still get every
// picture, the first one included.
TEST(SessionAfterSession, GetsEveryPictureNativelyWhateverTheLastOneChose)
{
    SourceDriver driver;
    MessageBoxRecorder boxes;
    CameraFolders folders;
    KeptFile settings{[] {
        char windows[MAX_PATH] = "";
        GetWindowsDirectoryA(windows, sizeof windows);
        return std::string(windows) + "\\lx3twain.ini";
    }()};
    folders.makeCamera(1, "[camera]\r\nfamily=1\r\n");
    for (int i = 0; i < 3; ++i)
        folders.addFile(1, "card\\P00" + std::to_string(i + 1) + ".k4i",
                        readFileBytes(samplePath(LX12_PICTURES[i])));
    for (TW_UINT16 mechanism : {MEMORY, NONE}) {
        SCOPED_TRACE(mechanism == MEMORY ? "the first application, memory" : "the next one, the default");
        ASSERT_EQ(TWRC_SUCCESS, driver.open());
        if (mechanism == MEMORY) {
            ASSERT_EQ(TWRC_SUCCESS, driver.setMechanism(MEMORY));
        }
        ASSERT_EQ(TWRC_SUCCESS, driver.enable());
        ASSERT_TRUE(CameraUser::connect(1));
        CameraUser::click(IDC_SELECTALL);
        driver.clearNotifications();
        CameraUser::click(IDC_OK);
        ASSERT_EQ(1, driver.notifications(MSG_XFERREADY));
        for (int number = 1; number <= 3; ++number) {
            const TransferResult result = mechanism == MEMORY ? driver.memoryTransfer() : driver.nativeTransfer();
            ASSERT_TRUE(result.delivered) << "picture " << number;
            EXPECT_EQ(pictureSize(1, number).cx, result.picture.width) << "picture " << number;
            EXPECT_EQ(3 - number, driver.endTransfer());
        }
        EXPECT_EQ(TWRC_SUCCESS, driver.disable());
        EXPECT_EQ(TWRC_SUCCESS, driver.close());
    }
    for (const RecordedBox& box : boxes.boxes()) EXPECT_NE("MELVO DIGITAL CAMERA ERROR", box.caption) << box.text;
}

}  // namespace
