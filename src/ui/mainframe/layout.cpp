// TForm1: the client area's layout. The channel and reference groups move into a scroll area of
// their own so that a window smaller than the default scrolls them while the control panel with
// RUN and STOP stays in view (down to the least client area); the chart takes the rest.

#include "Mainframe.h"

#include "ClientLayout.h"
#include "ui_Mainframe.h"

#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>

namespace altrix {

void TForm1::buildClientLayout() {
    Ui::TForm1& ui = *ui_;
    defaultWindowHeight_ = height();
    panelArea_ = new QScrollArea(ui.ClientArea);
    panelArea_->setObjectName(QStringLiteral("PanelArea"));
    panelArea_->setFrameShape(QFrame::NoFrame);
    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("PanelContent"));
    // Moving the groups must not change the order in which Tab visits the controls.
    QWidgetList tabOrder;
    for (QWidget* w = ui.ClientArea->nextInFocusChain(); w != ui.ClientArea; w = w->nextInFocusChain())
        if (w->focusPolicy() & Qt::TabFocus) tabOrder << w;
    for (QWidget* group : {ui.GroupBox1, ui.GroupBox2, ui.GroupBox3, ui.GroupBox4, ui.GroupBox5, ui.GroupBox6}) {
        const QRect place = group->geometry().translated(0, -kPanelTop);
        group->setParent(content);
        group->setGeometry(place);
    }
    panelArea_->setWidget(content);
    for (qsizetype i = 1; i < tabOrder.size(); ++i) setTabOrder(tabOrder[i - 1], tabOrder[i]);
    ui.Chart1->setMinimumSize(kMinChart);
    ui.Chart1->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    ui.ClientArea->setMinimumSize(MinimumClientSize());
    ui.ClientArea->installEventFilter(this);
    // A screen smaller than the default window (or a large scale factor) gets a window that fits.
    const QSize frameAllowance(16, 48);
    resize(size().boundedTo(screen()->availableGeometry().size() - frameAllowance));
    layOutClient();
}

void TForm1::layOutClient() {
    Ui::TForm1& ui = *ui_;
    // The client area's height in the window's default size, from which the chart grows.
    const int defaultClientHeight = defaultWindowHeight_ - menuBar()->height() - statusBar()->height();
    panelArea_->widget()->setFixedSize(PanelContentSize(defaultClientHeight));
    const ClientGeometry g = LayOutClient(ui.ClientArea->size(), defaultClientHeight);
    ui.ToolBar1->resize(ui.ClientArea->width(), ui.ToolBar1->height());
    ui.Chart1->setGeometry(g.Chart);
    panelArea_->setGeometry(g.Panels);
    ui.Panel1->setGeometry(g.Controls);
}

}  // namespace altrix
