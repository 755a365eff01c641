// The camera window as the user sees it: what its device contexts hold after each step is read
// back (BitBlt) and compared with the module's own bitmaps. Pages are compared outside the child
// controls and the drawn labels; buttons whole. The steps are the messages a user's mouse and
// keyboard produce, sent to the real window and its buttons, against simulated cameras.
//
// With CAMERA_WINDOW_SHOTS=<folder> in the environment, every state compared is also saved there
// as a BMP of the whole window (frame included), for looking at.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "camera/camera_connection.h"
#include "camera/camera_position.h"
#include "camera/camera_settings.h"
#include "camera_window/camera_window_state.h"
#include "camera_window/page_drawing.h"
#include "camera_window/picture_list.h"
#include "message_box_recorder.h"
#include "resources/resource_ids.h"
#include "source_session.h"
#include "win32/scoped_handle.h"
#include "../standins/cameras/camera_folder.h"

namespace {

// Pixels as 0x00RRGGBB, rows from the top.
struct Pixels {
    int width = 0, height = 0;
    std::vector<uint32_t> data;
    uint32_t at(int x, int y) const { return data[static_cast<size_t>(y) * width + x]; }
};

BITMAPINFOHEADER topDown32(int width, int height)
{
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = -height;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    return header;
}

// Reads a screen-format bitmap back as 32-bit pixels.
Pixels readBack(HDC dc, HBITMAP bitmap, int width, int height)
{
    Pixels pixels{width, height, std::vector<uint32_t>(static_cast<size_t>(width) * height)};
    BITMAPINFO info = {};
    info.bmiHeader = topDown32(width, height);
    GetDIBits(dc, bitmap, 0, height, pixels.data.data(), &info, DIB_RGB_COLORS);
    for (uint32_t& p : pixels.data) p &= 0xFFFFFF;
    return pixels;
}

// What a device context shows in (0, 0, width, height), read through a bitmap of the screen's
// own format, as the expected pictures are, so both meet the same colour depth.
Pixels capture(HDC source, int width, int height)
{
    HDC memory = CreateCompatibleDC(source);
    ScopedGdiObject bitmap(CreateCompatibleBitmap(source, width, height));
    {
        SelectedObject use(memory, bitmap.get());
        BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY);
    }
    Pixels pixels = readBack(memory, static_cast<HBITMAP>(bitmap.get()), width, height);
    DeleteDC(memory);
    return pixels;
}

Pixels captureClient(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    WindowDC dc(window);
    return capture(dc.get(), client.right, client.bottom);
}

// The expected picture of a client area: built in a bitmap of the screen's format from the
// module's bitmaps, as the window's code should place them.
class Composition {
public:
    Composition(int width, int height, COLORREF background)
        : screen_(GetDC(nullptr)), memory_(CreateCompatibleDC(screen_)),
          bitmap_(CreateCompatibleBitmap(screen_, width, height)), width_(width), height_(height)
    {
        old_ = SelectObject(memory_, bitmap_.get());
        ScopedGdiObject brush(CreateSolidBrush(background));
        RECT all = {0, 0, width, height};
        FillRect(memory_, &all, static_cast<HBRUSH>(brush.get()));
    }
    ~Composition()
    {
        SelectObject(memory_, old_);
        DeleteDC(memory_);
        ReleaseDC(nullptr, screen_);
    }
    // Rows sourceY to sourceY + height - 1 of a module bitmap, 1:1 at (x, y).
    void place(const char* name, int x, int y, int sourceY = 0, int height = -1)
    {
        ScopedGdiObject bitmap(LoadBitmapA(GetModuleHandleA(nullptr), name));
        ASSERT_TRUE(bitmap) << name;
        BITMAP info;
        GetObjectA(bitmap.get(), sizeof info, &info);
        HDC source = CreateCompatibleDC(screen_);
        {
            SelectedObject use(source, bitmap.get());
            BitBlt(memory_, x, y, info.bmWidth, height < 0 ? info.bmHeight : height, source, 0, sourceY, SRCCOPY);
        }
        DeleteDC(source);
    }
    Pixels pixels() { return readBack(memory_, static_cast<HBITMAP>(bitmap_.get()), width_, height_); }

private:
    HDC screen_;
    HDC memory_;
    ScopedGdiObject bitmap_;
    HGDIOBJ old_;
    int width_, height_;
};

// A module bitmap as the screen shows it.
Pixels bitmapPixels(const char* name)
{
    ScopedGdiObject bitmap(LoadBitmapA(GetModuleHandleA(nullptr), name));
    BITMAP info = {};
    GetObjectA(bitmap.get(), sizeof info, &info);
    Composition expected(info.bmWidth, info.bmHeight, RGB(255, 0, 255));
    expected.place(name, 0, 0);
    return expected.pixels();
}

// The place of the first pixel that differs, outside the excluded rectangles; "" when none does.
std::string firstDifference(const Pixels& shown, const Pixels& expected, const std::vector<RECT>& excluded = {})
{
    if (shown.width != expected.width || shown.height != expected.height) return "size";
    for (int y = 0; y < shown.height; ++y)
        for (int x = 0; x < shown.width; ++x) {
            POINT p = {x, y};
            bool skip = false;
            for (const RECT& r : excluded) skip = skip || PtInRect(&r, p);
            if (!skip && shown.at(x, y) != expected.at(x, y)) {
                char text[96];
                wsprintfA(text, "(%d, %d): shown %06x, expected %06x", x, y, shown.at(x, y), expected.at(x, y));
                return text;
            }
        }
    return "";
}

// Every look a button can show; a button's pixels are named by the one they equal.
const char* const BUTTON_LOOKS[] = {
    "IDB_CAMERA", "IDB_CAMERADW", "IDB_FILE",    "IDB_FILEDW", "IDB_DISK",    "IDB_DISKDW",
    "IDB_DISKDIS", "IDB_CLEAR",   "IDB_CLEARDW", "IDB_CLEARDIS", "IDB_PREV",  "IDB_PREVDW",
    "IDB_PREVDIS", "IDB_NEXT",    "IDB_NEXTDW",  "IDB_NEXTDIS", "IDB_ONRADIO", "IDB_OFRADIO", "IDB_DSRADIO",
};

std::string lookOf(const Pixels& shown)
{
    for (const char* name : BUTTON_LOOKS)
        if (firstDifference(shown, bitmapPixels(name)).empty()) return name;
    return "no bitmap";
}

void pumpMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void saveShot(HWND window, const std::string& name)
{
    char folder[MAX_PATH];
    if (!GetEnvironmentVariableA("CAMERA_WINDOW_SHOTS", folder, sizeof folder)) return;
    RECT outer;
    GetWindowRect(window, &outer);
    const int width = outer.right - outer.left, height = outer.bottom - outer.top;
    HDC dc = GetWindowDC(window);
    Pixels pixels = capture(dc, width, height);
    ReleaseDC(window, dc);
    const DWORD stride = width * 4;
    BITMAPFILEHEADER file = {0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + stride * height),
                             0, 0, sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
    BITMAPINFOHEADER header = topDown32(width, height);
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
    bytes.append(reinterpret_cast<const char*>(&header), sizeof header);
    bytes.append(reinterpret_cast<const char*>(pixels.data.data()), stride * height);
    writeFileBytes(std::string(folder) + "\\" + name + ".bmp", bytes);
}

class PageDrawing : public SourceTest {
protected:
    void SetUp() override
    {
        SourceTest::SetUp();
        DeleteFileA(settingsFilePath().c_str());
        g_settings = {};
        g_camera = {};
    }
    void enable()
    {
        ASSERT_EQ(TWRC_SUCCESS, session.open());
        ASSERT_EQ(TWRC_SUCCESS, session.enable(true));
        window = g_cameraWindow.window;
        ASSERT_TRUE(IsWindowVisible(window));
        pumpMessages();
    }
    // A camera of `family` on COM1 with `pictures` pictures, connected from the option page.
    void connect(int family, int pictures, const std::string& ini = "")
    {
        std::vector<std::string> names;
        for (int i = 1; i <= pictures; ++i) names.push_back("P" + std::to_string(i) + (family == 3 ? ".jpg" : ".k4i"));
        cameras.makeCameraWithPictures(1, family, names, ini);
        enable();
        SendMessageA(control(IDC_MODEL), CB_SETCURSEL, 3 - family, 0);
        command(IDC_MODEL, CBN_CLOSEUP);
        pressAndRelease(IDC_CAMERA);
        pumpMessages();
        ASSERT_TRUE(cameraConnected());
    }

    HWND control(int id) { return GetDlgItem(window, id); }
    void command(int id, WORD code = BN_CLICKED)
    {
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control(id)));
    }
    void down(int id, int x = 5, int y = 5) { SendMessageA(control(id), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)); }
    void up(int id, int x = 5, int y = 5) { SendMessageA(control(id), WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }
    void pressAndRelease(int id) { down(id), up(id); }
    void tab(bool camera) { SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(camera ? 130 : 200, 27)); }

    std::string look(int id)
    {
        HWND button = control(id);
        if (!button) return "no control";
        return lookOf(captureClient(button));
    }
    // The looks of several buttons, in the order given.
    std::string looks(std::initializer_list<int> ids)
    {
        std::string text;
        for (int id : ids) text += (text.empty() ? "" : " ") + look(id);
        return text;
    }
    std::vector<int> selection()
    {
        std::vector<int> numbers;
        std::vector<uint16_t> taken;
        while (uint16_t n = pictureListTakeFirst()) taken.push_back(n);
        for (uint16_t n : taken) {  // put them back in their order
            const uint16_t current = g_camera.currentPicture;
            g_camera.currentPicture = n;
            pictureListAppendCurrent();
            g_camera.currentPicture = current;
            numbers.push_back(n);
        }
        return numbers;
    }

    HWND window = nullptr;
    CameraFolders cameras;
    // The settings file of the prefix is the user's: kept aside and put back around each test.
    KeptFile settings{settingsFilePath()};
};

const COLORREF WINDOW_GREY = RGB(128, 128, 128);  // the stock gray brush of the window class

// ---- Pages ----------------------------------------------------------------------------------

TEST_F(PageDrawing, EachPageShowsItsBitmapsOutsideTheControls)
{
    struct Case {
        const char* shot;
        int family;  // 0: no camera
        bool cameraPage;
    };
    const Case cases[] = {
        {"option-offline", 0, false},
        {"camera-offline", 0, true},
        {"camera-online", 2, true},
        {"option-online", 2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shot);
        if (c.family) connect(c.family, 3);
        else enable();
        if (cameraPageShown() != c.cameraPage) tab(c.cameraPage);
        pumpMessages();
        saveShot(window, c.shot);

        RECT client;
        GetClientRect(window, &client);
        Composition expected(client.right, client.bottom, WINDOW_GREY);
        std::vector<RECT> excluded;
        if (c.cameraPage) {
            expected.place("IDB_CAMERATAB", 96, 18);
            expected.place("IDB_CARD", 172, 184, 10, 30);
            expected.place("IDB_MEMORY", 280, 184, 10, 30);
            // the three labels and the slash are text and a line, checked below
            excluded = {{128, 154, 200, 168}, {280, 60, 360, 74}, {280, 114, 360, 128}, {220, 90, 229, 111}};
        } else {
            expected.place("IDB_OPTIONTAB", 96, 18);
            expected.place("IDB_LX-2", 125, 55);
            expected.place("IDB_PORT", 125, 123);
            expected.place("IDB_SPEED", 125, 191);
        }
        for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            RECT r;
            GetWindowRect(child, &r);
            MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
            excluded.push_back(r);
        }
        const Pixels shown = captureClient(window);
        EXPECT_EQ("", firstDifference(shown, expected.pixels(), excluded));
        if (c.cameraPage) {
            EXPECT_EQ(0u, shown.at(224, 100)) << "the slash is a black line from (228, 90) to (220, 110)";
            const Pixels page = expected.pixels();
            for (RECT label : {RECT{128, 154, 200, 168}, RECT{280, 60, 360, 74}, RECT{280, 114, 360, 128}}) {
                int inked = 0;
                for (int y = label.top; y < label.bottom; ++y)
                    for (int x = label.left; x < label.right; ++x) inked += shown.at(x, y) != page.at(x, y);
                EXPECT_GT(inked, 20) << "no label text at " << label.left << ", " << label.top;
            }
        }
        session.disable();
        EXPECT_EQ(TWRC_SUCCESS, session.close());
        if (c.family) removeTree(cameras.port(1));
    }
}

// ---- Button looks per state -------------------------------------------------------------------

TEST_F(PageDrawing, ButtonsShowTheLookOfTheirState)
{
    const std::initializer_list<int> LEFT = {IDC_CAMERA, IDC_DISK};
    const std::initializer_list<int> BUTTONS = {IDC_SELECT, IDC_SELECTALL, IDC_CANCELALL, IDC_PREV, IDC_NEXT};
    const std::initializer_list<int> RADIOS = {IDC_CARD, IDC_MEMORY};
    struct Case {
        const char* shot;
        int family;  // 0: camera page without a camera
        const char* ini;
        int chooseMedium;  // a radio to click first, 0 for none
        const char* left;
        const char* buttons;
        const char* radios;
    };
    const Case cases[] = {
        {"offline", 0, "", 0, "IDB_CAMERA IDB_FILE", "IDB_DISKDIS IDB_DISKDIS IDB_CLEARDIS IDB_PREVDIS IDB_NEXTDIS",
         "IDB_DSRADIO IDB_DSRADIO"},
        {"lx1", 1, "", 0, "IDB_CAMERADW IDB_FILE", "IDB_DISK IDB_DISK IDB_CLEAR IDB_PREV IDB_NEXT",
         "IDB_ONRADIO IDB_DSRADIO"},
        {"lx2-card", 2, "", 0, "IDB_CAMERADW IDB_FILE", "IDB_DISK IDB_DISK IDB_CLEAR IDB_PREV IDB_NEXT",
         "IDB_ONRADIO IDB_OFRADIO"},
        {"lx2-memory", 2, "[camera]\r\nmedium=0\r\n", 0, "IDB_CAMERADW IDB_FILE",
         "IDB_DISK IDB_DISK IDB_CLEAR IDB_PREV IDB_NEXT", "IDB_OFRADIO IDB_ONRADIO"},
        {"lx2-switched", 2, "", IDC_MEMORY, "IDB_CAMERADW IDB_FILE", "IDB_DISK IDB_DISK IDB_CLEAR IDB_PREV IDB_NEXT",
         "IDB_OFRADIO IDB_ONRADIO"},
        {"lx3", 3, "", 0, "IDB_CAMERADW IDB_FILE", "IDB_DISK IDB_DISK IDB_CLEAR IDB_PREV IDB_NEXT",
         "IDB_DSRADIO IDB_ONRADIO"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shot);
        if (c.family) {
            connect(c.family, 2, c.ini);
        } else {
            enable();
            tab(true);
        }
        if (c.chooseMedium) pressAndRelease(c.chooseMedium);
        pumpMessages();
        saveShot(window, std::string("buttons-") + c.shot);
        EXPECT_EQ(c.left, looks(LEFT));
        EXPECT_EQ(c.buttons, looks(BUTTONS));
        EXPECT_EQ(c.radios, looks(RADIOS));
        session.disable();
        EXPECT_EQ(TWRC_SUCCESS, session.close());
        if (c.family) removeTree(cameras.port(1));
    }
}

// ---- SELECT -----------------------------------------------------------------------------------

TEST_F(PageDrawing, SelectShowsWhetherThePictureItLeadsToIsSelected)
{
    connect(2, 3);
    struct Step {
        const char* what;
        int id;             // the button clicked (down and up on it)
        const char* down;   // SELECT's look right after the mouse went down
        const char* up;     // right after it came up, before anything is repainted
        const char* after;  // once the window has repainted
        int current;
        std::vector<int> selection;
    };
    const Step steps[] = {
        {"select 1, on to 2", IDC_SELECT, "IDB_DISKDW", "IDB_DISK", "IDB_DISK", 2, {1}},
        {"back to 1", IDC_PREV, "IDB_DISK", "IDB_DISKDW", "IDB_DISKDW", 1, {1}},
        {"deselect 1", IDC_SELECT, "IDB_DISKDW", "IDB_DISK", "IDB_DISK", 1, {}},
        {"select all", IDC_SELECTALL, "IDB_DISK", "IDB_DISKDW", "IDB_DISKDW", 1, {1, 2, 3}},
        {"deselect 1", IDC_SELECT, "IDB_DISKDW", "IDB_DISK", "IDB_DISK", 1, {2, 3}},
        // the release shows the next picture's look, and the button's own redraw keeps it
        {"select 1, on to 2", IDC_SELECT, "IDB_DISKDW", "IDB_DISKDW", "IDB_DISKDW", 2, {2, 3, 1}},
        {"to 3", IDC_NEXT, "IDB_DISKDW", "IDB_DISKDW", "IDB_DISKDW", 3, {2, 3, 1}},
        {"deselect 3", IDC_SELECT, "IDB_DISKDW", "IDB_DISK", "IDB_DISK", 3, {2, 1}},
        // selecting the last picture moves on to picture 1
        {"select 3, on to 1", IDC_SELECT, "IDB_DISKDW", "IDB_DISKDW", "IDB_DISKDW", 1, {2, 1, 3}},
        {"previous is 3", IDC_PREV, "IDB_DISKDW", "IDB_DISKDW", "IDB_DISKDW", 3, {2, 1, 3}},
        {"cancel all", IDC_CANCELALL, "IDB_DISKDW", "IDB_DISK", "IDB_DISK", 3, {}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        down(step.id);
        EXPECT_EQ(step.down, look(IDC_SELECT));
        up(step.id);
        EXPECT_EQ(step.up, look(IDC_SELECT));
        pumpMessages();
        EXPECT_EQ(step.after, look(IDC_SELECT));
        EXPECT_EQ(step.current, g_camera.currentPicture);
        EXPECT_EQ(step.selection, selection());
        saveShot(window, "select-" + std::to_string(&step - steps));
    }
}

// The next and previous looks move the current number for a moment to ask the list; callers must
// find it as it was, also 0 on an LX-3 camera without a current picture, where putting back "the
// count" would make the next SELECT mark a picture the user never chose.
TEST_F(PageDrawing, LooksForNextAndPreviousLeaveTheCurrentNumberAsTheyFoundIt)
{
    connect(3, 4, "[faults]\r\nnopicture=1\r\n");
    ASSERT_EQ(0, g_camera.currentPicture);
    for (void (*draw)() : {drawSelectForNext, drawSelectForPrevious}) {
        draw();
        EXPECT_EQ(0, g_camera.currentPicture);
    }
    pressAndRelease(IDC_SELECT);
    EXPECT_EQ(std::vector<int>{}, selection());
    // With picture 1 marked, the release shows the look of the picture after 0; nothing is
    // selected, and the button goes back to the current picture's look.
    g_camera.currentPicture = 1;
    pictureListAppendCurrent();
    g_camera.currentPicture = 0;
    pressAndRelease(IDC_SELECT);
    EXPECT_EQ("IDB_DISK", look(IDC_SELECT));
    EXPECT_EQ(std::vector<int>{1}, selection());

    struct Case {
        int current;
        std::vector<int> selected;
        void (*draw)();
        const char* look;
    };
    const Case cases[] = {
        {4, {1}, drawSelectForNext, "IDB_DISKDW"},      // after the last comes picture 1
        {4, {2}, drawSelectForNext, "IDB_DISK"},
        {1, {4}, drawSelectForPrevious, "IDB_DISKDW"},  // before the first comes the last
        {2, {1}, drawSelectForPrevious, "IDB_DISKDW"},
        {2, {3}, drawSelectForPrevious, "IDB_DISK"},
    };
    for (const Case& c : cases) {
        pictureListEmpty();
        for (int n : c.selected) {
            g_camera.currentPicture = static_cast<uint16_t>(n);
            pictureListAppendCurrent();
        }
        g_camera.currentPicture = static_cast<uint16_t>(c.current);
        c.draw();
        EXPECT_EQ(c.look, look(IDC_SELECT)) << "current " << c.current;
        EXPECT_EQ(c.current, g_camera.currentPicture);
    }
}

// A repaint while a command runs (a download lets messages through) shows the SELECT look of the
// picture the command leads to.
TEST_F(PageDrawing, ARepaintDuringACommandShowsTheLookItLeadsTo)
{
    connect(2, 3);
    struct Case {
        BusyCommand busy;
        std::vector<uint16_t> selected;  // picture 1 is current; each case differs from its look
        const char* look;
    };
    const Case cases[] = {
        {BUSY_NEXT, {2}, "IDB_DISKDW"},   {BUSY_PREVIOUS, {3}, "IDB_DISKDW"}, {BUSY_SELECT_ALL, {}, "IDB_DISKDW"},
        {BUSY_CANCEL_ALL, {1}, "IDB_DISK"}, {BUSY_SELECT, {1}, "IDB_DISKDW"},
    };
    for (const Case& c : cases) {
        pictureListEmpty();
        for (uint16_t n : c.selected) {
            g_camera.currentPicture = n;
            pictureListAppendCurrent();
        }
        g_camera.currentPicture = 1;
        g_cameraWindow.busy = c.busy;
        InvalidateRect(control(IDC_SELECT), nullptr, FALSE);
        UpdateWindow(control(IDC_SELECT));
        EXPECT_EQ(c.look, look(IDC_SELECT)) << "busy " << c.busy;
    }
    g_cameraWindow.busy = BUSY_NONE;
}

// Space on the focused SELECT button: no mouse release draws the look after the command, so the
// command itself shows the new selection, also when it deselects and stays on the picture.
TEST_F(PageDrawing, SelectFromTheKeyboardShowsTheNewSelection)
{
    connect(2, 2);
    SetFocus(control(IDC_SELECT));
    struct Step {
        const char* look;
        int current;
        std::vector<int> selection;
    };
    const Step steps[] = {
        {"IDB_DISK", 2, {1}},       // picture 1 selected, on to 2
        {"IDB_DISKDW", 1, {1, 2}},  // picture 2 selected, on to 1, which is selected
        {"IDB_DISK", 1, {2}},       // picture 1 deselected, staying
    };
    for (const Step& step : steps) {
        SendMessageA(control(IDC_SELECT), WM_KEYDOWN, VK_SPACE, 0);
        SendMessageA(control(IDC_SELECT), WM_KEYUP, VK_SPACE, 0xC0000001);
        pumpMessages();
        EXPECT_EQ(step.look, look(IDC_SELECT));
        EXPECT_EQ(step.current, g_camera.currentPicture);
        EXPECT_EQ(step.selection, selection());
    }
}

// ---- Subclassed buttons -----------------------------------------------------------------------

TEST_F(PageDrawing, SubclassedButtonsAnswerAtOnceAndAReleaseOutsideSendsNothing)
{
    connect(2, 3);
    struct Case {
        const char* what;
        int id;
        int upX, upY;
        const char* down;        // the button's look right after the mouse went down
        const char* up;          // right after it came up
        const char* afterPaint;  // after the window has repainted
        std::vector<int> selection;
        bool connected;
    };
    const Case cases[] = {
        {"select", IDC_SELECT, 5, 5, "IDB_DISKDW", "IDB_DISK", "IDB_DISK", {1}, true},
        {"select, released on its right edge", IDC_SELECT, 32, 5, "IDB_DISKDW", "IDB_DISK", "IDB_DISK", {1}, true},
        {"select, released below it", IDC_SELECT, 5, 32, "IDB_DISKDW", "IDB_DISK", "IDB_DISK", {1}, true},
        {"select, released far left", IDC_SELECT, 0xFFF0, 5, "IDB_DISKDW", "IDB_DISK", "IDB_DISK", {1}, true},
        {"select all", IDC_SELECTALL, 5, 5, "IDB_DISKDW", "IDB_DISK", "IDB_DISK", {1, 2, 3}, true},
        {"cancel all, released outside", IDC_CANCELALL, 40, 5, "IDB_CLEARDW", "IDB_CLEAR", "IDB_CLEAR", {1, 2, 3}, true},
        {"cancel all", IDC_CANCELALL, 5, 5, "IDB_CLEARDW", "IDB_CLEAR", "IDB_CLEAR", {}, true},
        {"camera link, released on its edge", IDC_CAMERA, 48, 48, "IDB_CAMERADW", "IDB_CAMERADW", "IDB_CAMERADW", {}, true},
        {"camera link closes", IDC_CAMERA, 47, 47, "IDB_CAMERADW", "IDB_CAMERA", "IDB_CAMERA", {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        down(c.id);
        EXPECT_EQ(c.down, look(c.id));
        up(c.id, c.upX, c.upY);
        EXPECT_EQ(c.up, look(c.id));
        // A release that sent no command leaves no skip behind: the next repaint draws the look.
        {
            WindowDC dc(control(c.id));
            PatBlt(dc.get(), 0, 0, 48, 48, BLACKNESS);
        }
        InvalidateRect(control(c.id), nullptr, FALSE);
        pumpMessages();
        EXPECT_EQ(c.afterPaint, look(c.id));
        EXPECT_EQ(c.selection, selection());
        EXPECT_EQ(c.connected, cameraConnected());
    }
}

// The release shows the link open before the attempt; when it fails, the button shows it closed.
TEST_F(PageDrawing, ACameraLinkThatFailsToOpenShowsItClosedAgain)
{
    enable();  // no camera on COM1
    MessageBoxRecorder boxes;
    pressAndRelease(IDC_CAMERA);
    pumpMessages();
    EXPECT_EQ(1u, boxes.boxes().size());
    EXPECT_FALSE(cameraConnected());
    EXPECT_EQ("IDB_CAMERA", look(IDC_CAMERA));
}

// The second click of a double click arrives as WM_LBUTTONDBLCLK; it acts as a second press.
// SELECT shows the two presses in the list; the others show the press at once.
TEST_F(PageDrawing, ADoubleClickIsASecondPress)
{
    connect(2, 4);
    struct Case {
        int id;
        const char* pressed;
        std::vector<int> selection;
        int current;
        bool connected;
    };
    const Case cases[] = {
        {IDC_SELECT, "IDB_DISKDW", {1, 2}, 3, true},
        {IDC_CANCELALL, "IDB_CLEARDW", {}, 3, true},
        {IDC_SELECTALL, "IDB_DISKDW", {1, 2, 3, 4}, 3, true},
        {IDC_CAMERA, "IDB_CAMERADW", {}, 1, true},  // closed by the click, opened by the second press
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        pressAndRelease(c.id);
        EXPECT_EQ(0, SendMessageA(control(c.id), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5)));
        pumpMessages();  // the press that the double click posted
        EXPECT_EQ(c.pressed, look(c.id));
        up(c.id);
        pumpMessages();
        EXPECT_EQ(c.selection, selection());
        EXPECT_EQ(c.current, g_camera.currentPicture);
        EXPECT_EQ(c.connected, cameraConnected());
    }
}

}  // namespace
