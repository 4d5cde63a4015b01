// ComboBox2 from TrackStore::companyItems().
#include "map/ui/company_selector.h"

#include "acars/sjis.h"
#include "tracking/track_store.h"

#include <QComboBox>

namespace varnesk {

void refillCompanySelector(QComboBox* box, const TrackStore& store)
{
    if (!box)
        return;
    box->clear();
    for (const std::string& item : store.companyItems())
        box->addItem(sjisToQString(item));
    box->setCurrentIndex(0);
    box->setMaxVisibleItems(box->count() + 1);
}

void bindCompanySelector(QComboBox* box, TrackStore& store)
{
    refillCompanySelector(box, store);
    if (!box)
        return;
    QObject::connect(&store, &TrackStore::companyItemAdded, box, [box, &store] {
        if (store.companyItems().empty())
            return;
        box->addItem(sjisToQString(store.companyItems().back()));
        box->setMaxVisibleItems(box->count() + 1);
    });
}

} // namespace varnesk
