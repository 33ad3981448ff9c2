// Room for texts longer than the dialog-unit layout planned for: the English window's words, a status that says more.
#pragma once

#include <QLabel>
#include <QWidget>

namespace qv7::panel {

// The width `w` needs to show its whole text on one line: a label's or a button's text with the room the style
// keeps around it, a check box's or radio button's with its indicator. 0 for a control without text.
int textNeed(const QWidget& w);

// A label too narrow for its text wraps it and grows downwards; the pixels it grew, 0 when it already fitted.
int wrapToFit(QLabel& label);

// A wrapped label whose last line would hold a word or two alone ("中。") wraps narrower, so the lines share the
// text; its rectangle stays, the right margin takes what the lines give up.
void balanceWrap(QLabel& label);

// Moves the children of `parent` that start at or below `y` down by `dy`, and makes a fixed-size `parent` as much
// taller: room for a label that grew.
void makeRoomBelow(QWidget& parent, int y, int dy);

}  // namespace qv7::panel
