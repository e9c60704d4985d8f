#pragma once
// The event list: what happened in the capture or in the recording on show, a row an event in
// `EventsTable` (Time, Kind, Source, Text), oldest first, under a title that says whose events
// they are (`EventsTitleLabel`). Choosing a row (a double click, or Return) hands its event to
// the owner, which shows it; the list knows nothing of captures or recordings.

#include "EventList.h"

#include <QString>
#include <QWidget>

#include <cstdint>
#include <vector>

class QLabel;
class QTableWidget;

namespace altrix {


class EventsForm : public QWidget {
    Q_OBJECT
public:
    explicit EventsForm(QWidget* parent = nullptr);

    // Shows `rows` under `title`; the row chosen before stays chosen while it is still there.
    void showEvents(const QString& title, std::vector<EventRow> rows);
    const std::vector<EventRow>& rows() const { return rows_; }

signals:
    void chosen(const altrix::EventRow& event);

private:
    void choose(int row);

    QLabel* title_;
    QTableWidget* table_;
    std::vector<EventRow> rows_;
};

}  // namespace altrix
