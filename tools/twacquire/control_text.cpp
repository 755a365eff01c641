#include "control_text.h"

std::string chosenEntry(HWND box)
{
    char text[64] = "";
    const LRESULT index = SendMessageA(box, CB_GETCURSEL, 0, 0);
    if (index >= 0 && SendMessageA(box, CB_GETLBTEXTLEN, index, 0) < static_cast<LRESULT>(sizeof text))
        SendMessageA(box, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
    return text;
}
