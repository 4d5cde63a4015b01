// The received aircraft list as a Qt table model: the core list's rows and
// ten columns, Shift-JIS cells turned into text only for display.
#pragma once

#include "aircraft/aircraft_list.h"

#include <QAbstractTableModel>

namespace varnesk {

class AircraftListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit AircraftListModel(AircraftList& list, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    AircraftList& list() { return m_list; }

private:
    void rowAboutToBeInserted(int row);
    void rowInserted(int row);
    void rowAboutToBeRemoved(int row);
    void rowRemoved(int row);
    void rowChanged(int row);
    void aboutToClear();
    void cleared();

    AircraftList& m_list;
};

// Column captions, in column order.
const QStringList& aircraftListCaptions();

} // namespace varnesk
