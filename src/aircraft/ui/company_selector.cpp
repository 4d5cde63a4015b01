// ComboBox2 from TrackStore::companyItems().
#include "aircraft/ui/company_selector.h"

#include "decode/sjis.h"
#include "tracking/track_store.h"

#include <QComboBox>
#include <QPointer>

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
    QPointer<QComboBox> guard(box);
    store.onCompanyItemAdded = [guard, &store] {
        if (!guard || store.companyItems().empty())
            return;
        guard->addItem(sjisToQString(store.companyItems().back()));
        guard->setMaxVisibleItems(guard->count() + 1);
    };
}

} // namespace varnesk
