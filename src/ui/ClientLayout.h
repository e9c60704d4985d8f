#pragma once
// Where the main window's client area puts the chart, the groups and the control panel. At the
// default size every control sits where the form description puts it (the chart 1000 x 360 at
// 8, 51); a larger area gives the chart all the extra width and height while the panels keep
// their size; a smaller one shrinks the chart down to a minimum and then lets the channel and
// reference groups scroll, while the control panel (RUN, STOP) keeps to the right edge, in view
// down to the least client area.

#include <QRect>
#include <QSize>

namespace altrix {

struct ClientGeometry {
    QRect Chart;
    QRect Panels;    // the viewport of the groups' scroll area
    QRect Controls;  // the control panel
};

// The groups as the form description lays them out from row kPanelTop on, and the control
// panel beside them.
inline constexpr int kPanelTop = 414;
inline constexpr int kGroupsWidth = 896;
inline constexpr QRect kDefaultChart{8, 51, 1000, 360};
inline constexpr QRect kDefaultControls{896, 421, 111, 279};
inline constexpr int kDefaultClientWidth = 1014;
// The chart never shrinks below this; below it the groups scroll.
inline constexpr QSize kMinChart{240, 120};

// `client` is the client area's size now, `defaultHeight` its height in the window's default
// size (which depends on the menu and status bars' heights).
ClientGeometry LayOutClient(QSize client, int defaultHeight);

// The size of the groups' scroll content for that default height.
QSize PanelContentSize(int defaultHeight);

// The least client area: the chart at its least size with the whole control panel (RUN, STOP)
// below it and its margin. The window is never made smaller; docks give way before it.
QSize MinimumClientSize();

}  // namespace altrix
