// The drawing of the camera window: its two pages, its owner-drawn buttons, the SELECT
// button's looks and the press feedback of the four subclassed buttons. The window calls
// exactly these functions and nothing else of this file:
//
//   paintShownPage      WM_PAINT of the camera window, with the paint DC; draws the page of
//                       g_cameraWindow.page (tab headers included) into any DC.
//   drawButtonPressed   WM_DRAWITEM of an owner-drawn control whose item state has ODS_SELECTED.
//   drawButtonNormal    WM_DRAWITEM otherwise. Ids outside 2001-2017 draw nothing.
//   drawSelect...       the SELECT button's looks, called by the camera page commands while
//                       the busy command says which picture is about to become current.
//   subclassButton      installed on IDC_CAMERA, IDC_SELECT, IDC_SELECTALL and IDC_CANCELALL
//                       right after each is created; keeps the button's previous procedure.
//
// The kept bitmaps and the fonts are in g_cameraWindow (camera_window_state.h); the page state,
// busy command, camera position and picture list are read, never changed.
#pragma once

#include <windows.h>

void paintShownPage(HWND window, HDC dc);

void drawButtonPressed(const DRAWITEMSTRUCT& item);
void drawButtonNormal(const DRAWITEMSTRUCT& item);

// The SELECT button, drawn at once on its own device context.
void drawSelectForCurrent();    // selected exactly when the current picture is in the list
void drawSelectNotSelected();
void drawSelectForSelectAll();  // selected unless the camera holds no picture
void drawSelectForNext();       // the look of the picture after the current one
void drawSelectForPrevious();   // the look of the picture before the current one

void subclassButton(HWND button);
