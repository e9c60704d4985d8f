#include "ClientLayout.h"

#include <algorithm>

namespace altrix {

QSize PanelContentSize(int defaultHeight) {
    return {kGroupsWidth, std::max(defaultHeight, kDefaultControls.bottom() + 1) - kPanelTop};
}

QSize MinimumClientSize() {
    const int margin = kDefaultClientWidth - kDefaultControls.right() - 1;
    const QRect controls = LayOutClient({0, 0}, 0).Controls;
    return {kDefaultClientWidth - kDefaultChart.width() + kMinChart.width(), controls.bottom() + 1 + margin};
}

ClientGeometry LayOutClient(QSize client, int defaultHeight) {
    const int gapBelow = kPanelTop - kDefaultChart.bottom() - 1;  // chart to groups
    const int sideMargins = kDefaultClientWidth - kDefaultChart.width();
    const int chartWidth = std::max(kMinChart.width(), client.width() - sideMargins);
    // The panels keep their height while the chart can give up rows; past that they scroll.
    const int panelsHeight = PanelContentSize(defaultHeight).height();
    const int chartHeight = std::max(kMinChart.height(), client.height() - kDefaultChart.top() - gapBelow - panelsHeight);
    const int panelsTop = kDefaultChart.top() + chartHeight + gapBelow;
    const int rightMargin = kDefaultClientWidth - kDefaultControls.right() - 1;
    const int controlsLeft =
        std::clamp(client.width() - kDefaultControls.width() - rightMargin, 0, kDefaultControls.left());
    const QRect controls(controlsLeft, panelsTop + kDefaultControls.top() - kPanelTop, kDefaultControls.width(),
                         kDefaultControls.height());
    return {QRect(kDefaultChart.left(), kDefaultChart.top(), chartWidth, chartHeight),
            QRect(0, panelsTop, controls.left(), std::max(0, client.height() - panelsTop)), controls};
}

}  // namespace altrix
