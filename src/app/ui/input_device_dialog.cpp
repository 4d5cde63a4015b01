// The input device dialog and its notice window.
#include "app/ui/input_device_dialog.h"

#include "app/sound_card.h"
#include "app/ui/main_window.h"
#include "widgets/centre_dialog.h"

#include <QAudioDevice>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QEventLoop>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace varnesk {

namespace {
const QString kMark = QStringLiteral(" ○");
const QString kNoMark = QStringLiteral(" ");
} // namespace

InputDeviceDialog::InputDeviceDialog(MainWindow& main) : QDialog(&main), m_main(main)
{
    setWindowTitle(QStringLiteral("入力デバイスの選択"));
    setModal(true);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("ListView1"));
    m_list->setColumnCount(2);
    m_list->setHeaderLabels({QStringLiteral("入力デバイス名"), QStringLiteral("選択")});
    m_list->setColumnWidth(0, 200);
    m_list->setColumnWidth(1, 40);
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);

    auto* group = new QGroupBox(QStringLiteral("デコーダ"), this);
    m_single = new QRadioButton(QStringLiteral("シングル"), group);
    m_single->setObjectName(QStringLiteral("RadioButton1"));
    m_dual = new QRadioButton(QStringLiteral("デュアル"), group);
    m_dual->setObjectName(QStringLiteral("RadioButton2"));
    // The frequencies the scanners feeding the left and right channel are on,
    // for the feed; 0 is shown as unknown.
    for (int c = 0; c < 2; ++c) {
        auto* box = new QDoubleSpinBox(group);
        box->setObjectName(c == 0 ? QStringLiteral("WaveFreq1") : QStringLiteral("WaveFreq2"));
        box->setRange(0.0, 999.999);
        box->setDecimals(3);
        box->setSingleStep(0.025);
        box->setPrefix(c == 0 ? QStringLiteral("左 ") : QStringLiteral("右 "));
        box->setSuffix(QStringLiteral(" MHz"));
        box->setSpecialValueText(c == 0 ? QStringLiteral("左 周波数不明") : QStringLiteral("右 周波数不明"));
        box->setToolTip(c == 0 ? QStringLiteral("左チャンネルの周波数") : QStringLiteral("右チャンネルの周波数"));
        m_freq[static_cast<size_t>(c)] = box;
    }
    auto* groupLayout = new QGridLayout(group);
    groupLayout->addWidget(m_single, 0, 0);
    groupLayout->addWidget(m_dual, 0, 1);
    groupLayout->addWidget(m_freq[0], 1, 0);
    groupLayout->addWidget(m_freq[1], 1, 1);

    m_select = new QPushButton(QStringLiteral("デバイス選択"), this);
    m_select->setObjectName(QStringLiteral("Button1"));
    m_select->setAutoDefault(false);
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("Button2"));
    m_ok->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_select);
    buttons->addStretch();
    buttons->addWidget(m_ok);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addWidget(group);
    layout->addLayout(buttons);
    resize(300, 260);

    connect(m_list, &QTreeWidget::itemSelectionChanged, this,
            [this] { m_select->setEnabled(!m_list->selectedItems().isEmpty()); });
    connect(m_select, &QPushButton::clicked, this, &InputDeviceDialog::changeDevice);
    connect(m_ok, &QPushButton::clicked, this, &InputDeviceDialog::accept);
    refresh();
}

void InputDeviceDialog::refresh()
{
    m_list->clear();
    QStringList names{QStringLiteral("標準の入力デバイス")};
    for (const QAudioDevice& device : captureDevices())
        names.append(device.description());
    for (const QString& name : names)
        new QTreeWidgetItem(m_list, {name, kNoMark});
    markRow(m_main.settings().integer(Key::Input));
    // A server that does not decode runs with Dual 0; the dialog shows (and
    // OK keeps) the user's own choice, which is what the settings file gets.
    const bool dual = m_main.settings().userDual() == 2;
    m_dual->setChecked(dual);
    m_single->setChecked(!dual);
    m_freq[0]->setValue(m_main.settings().real(Key::WaveFreq1));
    m_freq[1]->setValue(m_main.settings().real(Key::WaveFreq2));
    m_select->setEnabled(false);
}

void InputDeviceDialog::markRow(int row)
{
    for (int i = 0; i < m_list->topLevelItemCount(); ++i)
        m_list->topLevelItem(i)->setText(1, i == row ? kMark : kNoMark);
}

void InputDeviceDialog::showEvent(QShowEvent* event)
{
    refresh();
    centreDialog(*this, &m_main);
    QDialog::showEvent(event);
}

void InputDeviceDialog::changeDevice()
{
    QTreeWidgetItem* item = m_list->currentItem();
    if (!item || !item->isSelected())
        return;
    const int row = m_list->indexOfTopLevelItem(item);
    if (!m_main.settings().text(Key::Source).empty()) {
        // A file or pipe takes the sound card's place: the choice is kept for
        // when the source is emptied, and the running input is left alone.
        m_main.settings().setInteger(Key::Input, row);
        markRow(row);
        m_select->setEnabled(false);
        return;
    }

    QWidget* notice = m_main.windows().deviceChange;
    if (notice) {
        centreDialog(*notice, this);
        notice->show();
        notice->repaint();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    m_main.closeCapture();
    if (m_delayMs > 0) {
        QEventLoop wait;
        QTimer::singleShot(m_delayMs, &wait, &QEventLoop::quit);
        wait.exec(QEventLoop::ExcludeUserInputEvents);
    }
    // The program may have begun to close during the pause: no new device then.
    if (!m_main.closing()) {
        m_main.settings().setInteger(Key::Input, row);
        if (m_main.openCapture())
            markRow(row);
    }
    m_select->setEnabled(false);
    if (notice)
        notice->close();
}

void InputDeviceDialog::accept()
{
    m_main.settings().setInteger(Key::Dual, m_single->isChecked() ? 1 : 2);
    m_main.settings().setReal(Key::WaveFreq1, m_freq[0]->value());
    m_main.settings().setReal(Key::WaveFreq2, m_freq[1]->value());
    m_main.tellChannelFrequencies();
    QDialog::accept();
}

DeviceChangeNotice::DeviceChangeNotice(MainWindow& main) : QDialog(&main)
{
    setWindowTitle(QStringLiteral("録音デバイス変更"));
    auto* label = new QLabel(QStringLiteral("録音再設定中..."), this);
    label->setObjectName(QStringLiteral("Label1"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    resize(220, 70);
}

} // namespace varnesk
