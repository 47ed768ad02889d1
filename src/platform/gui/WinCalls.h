#pragma once
// The platform's drawing calls that self-painting controls use beside the canvas:
// text in a box (wrapped at words, aligned, with the accelerator letter underlined),
// 3-D edges, the caption close box, the focus rectangle, the nearest colour a surface
// can show and the screen's colour depth; and the test for a caption's accelerator.
#include <string>

#include "platform/graphics/Graphics.h"

// DrawText formats.
constexpr unsigned DT_LEFT = 0x0000, DT_CENTER = 0x0001, DT_RIGHT = 0x0002, DT_WORDBREAK = 0x0010,
                   DT_SINGLELINE = 0x0020, DT_CALCRECT = 0x0400, DT_NOPREFIX = 0x0800;

// Draws text into rect with the canvas's font and brush (bsClear draws the text alone).
// Lines break at line feeds and, with DT_WORDBREAK, between words so that each line fits
// the box's width (a word wider than the box keeps a line of its own). '&' underlines the
// next letter and "&&" is a '&', unless DT_NOPREFIX. Each line is aligned left, centred or
// right in the box and cut off at its edges. Returns the height of the text. With
// DT_CALCRECT nothing is drawn: rect's Right and Bottom are set to the text's extent
// (Left plus the widest line, Top plus the lines); an empty text measures 0 x 0.
int DrawText(TCanvas& canvas, const std::string& text, TRect& rect, unsigned format);

// Edges of DrawEdge: the outer and inner line kinds, and the sides drawn.
constexpr unsigned BDR_RAISEDOUTER = 0x1, BDR_SUNKENOUTER = 0x2, BDR_RAISEDINNER = 0x4, BDR_SUNKENINNER = 0x8;
constexpr unsigned EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER, EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER,
                   EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER, EDGE_BUMP = BDR_RAISEDOUTER | BDR_SUNKENINNER;
constexpr unsigned BF_LEFT = 0x1, BF_TOP = 0x2, BF_RIGHT = 0x4, BF_BOTTOM = 0x8, BF_RECT = 0xF;

// Draws the outer line along the given sides of rect and the inner line one pixel inside,
// in the system's 3-D colours: a raised line is light at the top and left and dark at the
// bottom and right, a sunken line the other way round. An etched top edge is a shadow row
// at rect.Top with a highlight row below it.
void DrawEdge(TCanvas& canvas, const TRect& rect, unsigned edge, unsigned flags);

// The close box of a window caption: a raised button face with a cross, filling rect.
void DrawCaptionCloseBox(TCanvas& canvas, const TRect& rect);

// Inverts every other pixel along the inside of rect (drawing it twice removes it).
void DrawFocusRect(TCanvas& canvas, const TRect& rect);

// The colour closest to color that the canvas can show: the colour itself on a direct-
// colour surface, the nearest palette entry on a bitmap of 8 bits or fewer.
TColor GetNearestColor(TCanvas& canvas, TColor color);

// Bits per pixel of the screen. Tests may fix the answer (0 asks the screen again).
int ScreenBitsPerPixel();
void SetScreenBitsPerPixel(int bits);

// True when key is the accelerator letter of caption (the letter after a single '&'),
// compared without case.
bool IsAccel(char key, const std::string& caption);
