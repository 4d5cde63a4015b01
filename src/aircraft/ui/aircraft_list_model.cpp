// Table model over the core aircraft list; follows it through its signals.
#include "aircraft/ui/aircraft_list_model.h"

#include "acars/sjis.h"

namespace varnesk {

const QStringList& aircraftListCaptions()
{
    static const QStringList captions{
        QStringLiteral("Flight"),      QStringLiteral("PIC"),     QStringLiteral("Reg. No."), QStringLiteral("POS"),
        QStringLiteral("DEPT"),        QStringLiteral("DEST"),    QStringLiteral("Aircraft"), QStringLiteral("Remarks"),
        QStringLiteral("Access Sta."), QStringLiteral("LastTime")};
    return captions;
}

AircraftListModel::AircraftListModel(AircraftList& list, QObject* parent) : QAbstractTableModel(parent), m_list(list)
{
    connect(&m_list, &AircraftList::rowAboutToBeInserted, this, &AircraftListModel::rowAboutToBeInserted);
    connect(&m_list, &AircraftList::rowInserted, this, &AircraftListModel::rowInserted);
    connect(&m_list, &AircraftList::rowAboutToBeRemoved, this, &AircraftListModel::rowAboutToBeRemoved);
    connect(&m_list, &AircraftList::rowRemoved, this, &AircraftListModel::rowRemoved);
    connect(&m_list, &AircraftList::rowChanged, this, &AircraftListModel::rowChanged);
    connect(&m_list, &AircraftList::aboutToClear, this, &AircraftListModel::aboutToClear);
    connect(&m_list, &AircraftList::cleared, this, &AircraftListModel::cleared);
}

int AircraftListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_list.rowCount();
}

int AircraftListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kListColumns;
}

QVariant AircraftListModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_list.rowCount())
        return {};
    return sjisToQString(m_list.row(index.row()).cell(index.column()));
}

QVariant AircraftListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || section >= kListColumns)
        return {};
    return aircraftListCaptions()[section];
}

void AircraftListModel::rowAboutToBeInserted(int row)
{
    beginInsertRows({}, row, row);
}

void AircraftListModel::rowInserted(int)
{
    endInsertRows();
}

void AircraftListModel::rowAboutToBeRemoved(int row)
{
    beginRemoveRows({}, row, row);
}

void AircraftListModel::rowRemoved(int)
{
    endRemoveRows();
}

void AircraftListModel::rowChanged(int row)
{
    Q_EMIT dataChanged(index(row, 0), index(row, kListColumns - 1));
}

void AircraftListModel::aboutToClear()
{
    beginResetModel();
}

void AircraftListModel::cleared()
{
    endResetModel();
}

} // namespace varnesk
