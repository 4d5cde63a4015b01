// The "OK" and "キャンセル" buttons at the foot of a dialog, right-aligned:
// OK is the default button and accepts the dialog, キャンセル rejects it.
#pragma once

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>

namespace varnesk {

struct OkCancelRow {
    QHBoxLayout* layout;
    QPushButton* ok;
    QPushButton* cancel;
};

// okName and cancelName are the buttons' objectNames (the dialogs' layouts
// name them "Button1"/"Button2" or "OkButton"/"CancelButton").
inline OkCancelRow makeOkCancelRow(QDialog& dialog, const char* okName, const char* cancelName)
{
    auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
    ok->setObjectName(QLatin1String(okName));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("キャンセル"), &dialog);
    cancel->setObjectName(QLatin1String(cancelName));
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    return {row, ok, cancel};
}

} // namespace varnesk
