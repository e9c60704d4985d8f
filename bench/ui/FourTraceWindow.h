#pragma once
// A shown main window holding four shown channels of a full capture (a sine per channel with a
// little noise), for the redraw benchmarks; at `size` when one is given.

#include "BenchApplication.h"
#include "CaptureSession.h"
#include "Mainframe.h"
#include "Prompts.h"
#include "ScopeChart.h"
#include "ScopeDisplay.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>

#include <cmath>

namespace altrix::bench {

struct FourTraceWindow {
    explicit FourTraceWindow(QSize size = {}) : form((Application(), new TForm1(prompts, session, display))) {
        CaptureRecord& rec = form->record();
        rec.NextSample = 54321;
        for (int k = 1; k <= kChannelCount; ++k) {
            form->display().View().ChannelScale[k - 1] = 1.0f;
            for (int slot = 0; slot < kTraceSlots; ++slot) {
                const double wave = std::sin(slot * (0.002 + 0.001 * k)) * 20000.0;
                rec.ChannelTrace[k - 1][slot] = static_cast<std::int16_t>(wave + (slot * 7919 % 601) - 300);
            }
            form->findChild<QLineEdit*>(QStringLiteral("Edit%1").arg(k))->setText(QStringLiteral("9000"));
            form->findChild<QCheckBox*>(QStringLiteral("CheckBox%1").arg(k))->setChecked(true);
        }
        if (size.isValid()) form->resize(size);
        form->show();
        QCoreApplication::processEvents();
    }
    ~FourTraceWindow() { delete form; }
    FourTraceWindow(const FourTraceWindow&) = delete;
    FourTraceWindow& operator=(const FourTraceWindow&) = delete;

    DefaultPrompts prompts;
    CaptureSession session;
    ScopeDisplay display{session};
    TForm1* form;

    ScopeChart& chart() const { return *form->findChild<ScopeChart*>(QStringLiteral("Chart1")); }
};

}  // namespace altrix::bench
