// Keeping windows within the screen: every top-level window and dialog of the program is held
// within the usable area of its screen when it is shown or grows, and labels that carry names
// or other data of any length give way instead of widening their window (the whole text is in
// their tool tip).
#pragma once

class QApplication;
class QLabel;
class QWidget;

namespace orv {

// Installs, once, the watch that keeps every top-level window of the application on screen.
void KeepWindowsOnScreen(QApplication& app);

// Brings one top-level window within the usable area of its screen: no larger than the area
// (as far as its minimum size allows) and moved inside it.
void FitWindowOnScreen(QWidget* window);

// A label whose text comes from data: it may be narrower than its text (the end is cut off), so
// a long name never widens its window. Where the text is a name, give it a tool tip as well.
void LetLabelGiveWay(QLabel* label);

} // namespace orv
