// edit.h: the state of an EDIT control and the pieces of it that are shared between its
// message handling (edit.cpp) and its layout and drawing (edit_draw.cpp).
//
// The text is kept here, not in the window record: the control answers WM_GETTEXT itself and
// passes WM_SETTEXT on to DefWindowProc only so that other programs (and `cedev ui`) see the
// same text. Lines are laid out whenever the text, the font or the size changes; a line is a
// range of the text without its line break ("\r\n", or a lone "\n" or "\r" from a careless
// caller). Positions are character indexes into the text; a selection runs from the anchor
// to the caret, either way round.
//
// Inside the platform only (platform/user).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "windows.h"

namespace ce::user::edit {

struct Line {
    int start = 0;
    int length = 0; // without the line break
};

struct EditState {
    HWND hwnd = nullptr;
    DWORD style = 0;
    std::u16string text;
    int anchor = 0;
    int caret = 0;
    size_t limit = 30000; // the documented default until EM_LIMITTEXT
    bool modified = false;
    HFONT font = nullptr; // null: the system font
    int leftMargin = 0;
    int rightMargin = 0;

    // One level of undo: the text and selection before the last change. Characters typed one
    // after the other are one change, as on the device.
    bool canUndo = false;
    std::u16string undoText;
    int undoAnchor = 0;
    int undoCaret = 0;
    bool typingRun = false; // the last change was typing that ended at the caret

    // Layout.
    std::vector<Line> lines;
    int lineHeight = 1;
    int xOffset = 0;   // single-line: pixels scrolled to the left
    int firstLine = 0; // multi-line: the first line shown

    bool focused = false;
    bool dragging = false;

    bool multiline() const { return (style & ES_MULTILINE) != 0; }
    int selStart() const { return anchor < caret ? anchor : caret; }
    int selEnd() const { return anchor < caret ? caret : anchor; }
    int length() const { return static_cast<int>(text.size()); }
};

// Lays the text out in lines for the current font and size.
void layout(EditState& s);
// The line holding a character index (the later one at a wrap).
int lineOf(const EditState& s, int index);
// The formatting rectangle: the client area less the margins (client coordinates).
RECT formatRect(const EditState& s);
// Where a character index is drawn: the left edge of its cell and the top of its line, in
// client coordinates.
POINT positionOf(const EditState& s, int index);
// The character index nearest to a point in client coordinates.
int indexAt(const EditState& s, POINT p);
// Scrolls so that the caret is inside the formatting rectangle. True when it scrolled.
bool scrollToCaret(EditState& s);
// The number of whole lines the formatting rectangle shows (at least 1).
int visibleLines(const EditState& s);
// WM_PAINT.
void paint(EditState& s);

} // namespace ce::user::edit
