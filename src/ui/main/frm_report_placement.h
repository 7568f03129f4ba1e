// Where a report window opens: beside or below the window it reports for when the screen has
// room, else where the owner's Target text view stays in sight (the report is read against it),
// else centred on the screen.
#pragma once

class QWidget;

namespace orv {

void PlaceReportWindow(QWidget* report);

} // namespace orv
