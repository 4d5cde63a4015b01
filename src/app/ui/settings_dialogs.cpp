// TForm3, TForm4 and TForm19: grids of check boxes and colour swatches with
// their "..." buttons, working copies refreshed on every showing.
#include "app/ui/settings_dialogs.h"

#include "acars/sjis.h"
#include "decode/ui/text_colour_dialog.h"
#include "widgets/centre_dialog.h"
#include "widgets/dialog_buttons.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

namespace varnesk {

namespace {

QFrame* makeSwatch(QWidget* parent, const QString& name)
{
    auto* swatch = new QFrame(parent);
    swatch->setObjectName(name);
    swatch->setFrameShape(QFrame::Box);
    swatch->setFixedSize(36, 18);
    swatch->setAutoFillBackground(true);
    return swatch;
}

void paintSwatch(QFrame* swatch, const QColor& colour)
{
    QPalette p = swatch->palette();
    p.setColor(QPalette::Window, colour);
    swatch->setPalette(p);
}

QPushButton* dotsButton(QWidget* parent, const QString& name)
{
    auto* b = new QPushButton(QStringLiteral("..."), parent);
    b->setObjectName(name);
    b->setFixedWidth(26);
    return b;
}

QPushButton* addButton(QHBoxLayout* row, QWidget* parent, const char* name, const QString& text)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    row->addWidget(b);
    return b;
}

// "OK" (apply, then close), "適用" (apply, stay open) and "キャンセル",
// right-aligned after what row already holds.
void addApplyButtons(QHBoxLayout* row, QDialog* dialog, const std::function<void()>& apply)
{
    row->addStretch();
    auto* ok = addButton(row, dialog, "OkButton", QStringLiteral("OK"));
    ok->setDefault(true);
    auto* applyButton = addButton(row, dialog, "ApplyButton", QStringLiteral("適用"));
    auto* cancel = addButton(row, dialog, "CancelButton", QStringLiteral("キャンセル"));
    QObject::connect(ok, &QPushButton::clicked, dialog, [dialog, apply] {
        apply();
        dialog->accept();
    });
    QObject::connect(applyButton, &QPushButton::clicked, dialog, apply);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
}

QRadioButton* addRadio(QButtonGroup* group, QLayout* layout, QWidget* parent, const QString& text, int id)
{
    auto* r = new QRadioButton(text, parent);
    group->addButton(r, id);
    layout->addWidget(r);
    return r;
}

} // namespace

// ---- TForm3 ----

SettingsDialog::SettingsDialog(SettingsStore& settings, QWidget* owner)
    : QDialog(owner), m_settings(settings), m_owner(owner)
{
    setWindowTitle(QStringLiteral("設定"));
    auto* layout = new QVBoxLayout(this);
    auto group = [&](const QString& title, std::initializer_list<std::pair<Key, const char*>> boxes) {
        auto* g = new QGroupBox(title, this);
        auto* v = new QVBoxLayout(g);
        for (const auto& [key, text] : boxes) {
            auto* box = new QCheckBox(QString::fromUtf8(text), g);
            box->setObjectName(QString::fromLatin1(keyDef(key).name));
            v->addWidget(box);
            m_boxes.emplace_back(key, box);
        }
        layout->addWidget(g);
        return v;
    };
    group(QStringLiteral("MES表示フィルタリング"), {{Key::SqNoDisp, "スキッターメッセージ"},
                                                    {Key::FreqNoDisp, "FREQメッセージ"},
                                                    {Key::TISNoDisp, "TISメッセージ"},
                                                    {Key::ShowPos, "ポジションメッセージ"}});
    group(QStringLiteral("その他"), {{Key::ConvJC, "JCレター変換(00→JC)"},
                                     {Key::ConvJD, "JDレター変換(JD→JL)"},
                                     {Key::TenPoint, "10point完全受信プロット"},
                                     {Key::ElsePosGet, "対象外航空機プロット"}});
    auto* logGroup = new QGroupBox(QStringLiteral("ログファイル名"), this);
    auto* logRow = new QHBoxLayout(logGroup);
    m_logName = new QButtonGroup(this);
    addRadio(m_logName, logRow, logGroup, QStringLiteral("固定"), 0)->setObjectName(QStringLiteral("LogNameFixed"));
    addRadio(m_logName, logRow, logGroup, QStringLiteral("年月日時間"), 1)
        ->setObjectName(QStringLiteral("LogNameDated"));
    layout->addWidget(logGroup);
    group(QStringLiteral("メール設定"), {{Key::SJISConv, "シフトJIS変換処理"}, {Key::MIMEConv, "MIME64変換処理"}});

    layout->addLayout(makeOkCancelRow(*this, "OkButton", "CancelButton").layout);
}

void SettingsDialog::showEvent(QShowEvent* event)
{
    for (auto& [key, box] : m_boxes)
        box->setChecked(m_settings.boolean(key));
    m_logName->button(m_settings.boolean(Key::LogName) ? 1 : 0)->setChecked(true);
    adjustSize();
    centreDialog(*this, m_owner);
    QDialog::showEvent(event);
}

void SettingsDialog::accept()
{
    for (auto& [key, box] : m_boxes)
        m_settings.setBoolean(key, box->isChecked());
    const bool dated = m_logName->checkedId() == 1;
    const bool changed = dated != m_settings.boolean(Key::LogName);
    m_settings.setBoolean(Key::LogName, dated);
    QDialog::accept();
    if (changed && logNameChanged)
        logNameChanged();
}

// ---- TForm4 ----

BasicColourDialog::BasicColourDialog(SettingsStore& settings, QWidget* owner)
    : QDialog(owner), m_settings(settings), m_owner(owner)
{
    setWindowTitle(QStringLiteral("基本表示色設定"));
    // Group title and the labels of its swatches, in kBasicColourKeys order.
    struct Group {
        const char* title;
        std::vector<const char*> labels;
    };
    const std::vector<Group> groups{
        {"プロット色設定", {"先頭色", "プロット", "ハイライト", "影・周囲"}},
        {"ポジションレポート色", {"背景色", "通常色", "ライン", "ハイライト"}},
        {"マップ表示色設定",
         {"背景色", "陸地線", "VOR航路", "NDB航路", "NAV航路", "空港", "VOR/DME", "VORTAC", "NDB", "Waypoint", "家",
          "ビーコン", "アンテナ", "山", "マークなし"}},
        {"マップセレクトデータ色", {"背景色", "線・文字色"}},
        {"高度グラフ色", {"背景色", "スケール色"}},
        {"時計", {"背景色", "文字色"}},
    };
    auto* columns = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    size_t i = 0;
    for (const Group& g : groups) {
        auto* box = new QGroupBox(QString::fromUtf8(g.title), this);
        auto* grid = new QGridLayout(box);
        int row = 0;
        int col = 0;
        for (const char* label : g.labels) {
            const QString name = QString::fromLatin1(keyDef(kBasicColourKeys[i]).name);
            grid->addWidget(new QLabel(QString::fromUtf8(label), box), row, col);
            m_swatches[i] = makeSwatch(box, name + QStringLiteral("Swatch"));
            grid->addWidget(m_swatches[i], row, col + 1);
            auto* dots = dotsButton(box, name + QStringLiteral("Button"));
            connect(dots, &QPushButton::clicked, this, [this, i] {
                if (const auto c = chooseColour(m_colours[i], this)) {
                    m_colours[i] = *c;
                    paint(i);
                }
            });
            grid->addWidget(dots, row, col + 2);
            if (g.labels.size() > 4 && col == 0) {
                col = 3;
            } else {
                col = 0;
                ++row;
            }
            ++i;
        }
        (g.labels.size() > 4 ? right : left)->addWidget(box);
    }
    auto* plot = new QGroupBox(QStringLiteral("表示処理"), this);
    auto* plotRow = new QVBoxLayout(plot);
    m_plotType = new QButtonGroup(this);
    addRadio(m_plotType, plotRow, plot, QStringLiteral("なし"), 0);
    addRadio(m_plotType, plotRow, plot, QStringLiteral("影を描画"), 1)->setChecked(true);
    addRadio(m_plotType, plotRow, plot, QStringLiteral("周囲を塗りつぶす"), 2);
    auto* line = new QGroupBox(QStringLiteral("プロット間描画"), this);
    auto* lineRow = new QVBoxLayout(line);
    m_lineType = new QButtonGroup(this);
    addRadio(m_lineType, lineRow, line, QStringLiteral("実線"), 0);
    addRadio(m_lineType, lineRow, line, QStringLiteral("点線"), 1);
    left->addWidget(plot);
    left->addWidget(line);
    left->addStretch();
    right->addStretch();
    columns->addLayout(left);
    columns->addLayout(right);

    auto* buttons = new QHBoxLayout;
    auto* reset = addButton(buttons, this, "ResetButton", QStringLiteral("初期化"));
    connect(reset, &QPushButton::clicked, this, [this] { load(true); });
    addApplyButtons(buttons, this, [this] { apply(); });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addLayout(buttons);
}

QColor BasicColourDialog::working(Key key) const
{
    for (size_t i = 0; i < kBasicColourKeys.size(); ++i)
        if (kBasicColourKeys[i] == key)
            return m_colours[i];
    return {};
}

void BasicColourDialog::load(bool defaults)
{
    for (size_t i = 0; i < kBasicColourKeys.size(); ++i) {
        const Key key = kBasicColourKeys[i];
        m_colours[i] = settingColour(defaults ? SettingsStore::defaultColour(key) : m_settings.colour(key));
        paint(i);
    }
    const int plotType = defaults ? 2 : m_settings.integer(Key::PlotType);
    if (QAbstractButton* b = m_plotType->button(plotType))
        b->setChecked(true);
    m_lineType->button(defaults || m_settings.boolean(Key::LineType) ? 1 : 0)->setChecked(true);
}

void BasicColourDialog::paint(size_t i)
{
    paintSwatch(m_swatches[i], m_colours[i]);
}

void BasicColourDialog::apply()
{
    for (size_t i = 0; i < kBasicColourKeys.size(); ++i)
        m_settings.setColour(kBasicColourKeys[i], settingValue(m_colours[i]));
    if (m_plotType->checkedId() >= 0)
        m_settings.setInteger(Key::PlotType, m_plotType->checkedId());
    m_settings.setBoolean(Key::LineType, m_lineType->checkedId() == 1);
    if (coloursApplied)
        coloursApplied();
}

void BasicColourDialog::showEvent(QShowEvent* event)
{
    load(false);
    adjustSize();
    centreDialog(*this, m_owner);
    QDialog::showEvent(event);
}

// ---- TForm19 ----

namespace {

// The colours an aircraft without an operator entry is drawn in: head, plot,
// highlight, shadow; report text, highlight, background.
constexpr std::array<Key, kOperatorColours> kOperatorBaseColours{
    Key::PlotOnColor, Key::PlotOffColor, Key::PlotMarkUpColor, Key::PlotBackColor,
    Key::OnColor,     Key::MarkUpColor,  Key::BackColor};

} // namespace

OperatorColourDialog::OperatorColourDialog(SettingsStore& settings, QWidget* owner)
    : QDialog(owner), m_settings(settings), m_owner(owner)
{
    setWindowTitle(QStringLiteral("オペレーターカラー設定"));
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(2);
    // Two header rows: the groups, then the swatch labels. Each colour takes
    // two columns (swatch, "...") after the code field in column 0.
    auto* plotHeader = new QLabel(QStringLiteral("プロット色"), this);
    auto* reportHeader = new QLabel(QStringLiteral("ポジションレポート色"), this);
    grid->addWidget(plotHeader, 0, 1, 1, 8, Qt::AlignCenter);
    grid->addWidget(reportHeader, 0, 9, 1, 6, Qt::AlignCenter);
    const char* labels[kOperatorColours] = {"先頭色", "プロット",   "ハイライト", "影・周囲",
                                            "通常色", "ハイライト", "背景色"};
    grid->addWidget(new QLabel(QStringLiteral("オペレーター"), this), 1, 0);
    for (int c = 0; c < kOperatorColours; ++c)
        grid->addWidget(new QLabel(QString::fromUtf8(labels[c]), this), 1, 1 + 2 * c, 1, 2, Qt::AlignCenter);
    for (int r = 0; r < kOperatorRows; ++r) {
        m_codes[static_cast<size_t>(r)] = new QLineEdit(this);
        m_codes[static_cast<size_t>(r)]->setObjectName(QStringLiteral("Edit%1").arg(r + 1));
        m_codes[static_cast<size_t>(r)]->setMaximumWidth(60);
        grid->addWidget(m_codes[static_cast<size_t>(r)], r + 2, 0);
        for (int c = 0; c < kOperatorColours; ++c) {
            const int n = r * kOperatorColours + c + 1;
            QFrame*& swatch = m_swatches[static_cast<size_t>(r)][static_cast<size_t>(c)];
            swatch = makeSwatch(this, QStringLiteral("Swatch%1").arg(n));
            grid->addWidget(swatch, r + 2, 1 + 2 * c);
            auto* dots = dotsButton(this, QStringLiteral("ColourButton%1").arg(n));
            connect(dots, &QPushButton::clicked, this, [this, n] { pickColour(n); });
            grid->addWidget(dots, r + 2, 2 + 2 * c);
        }
    }
    auto* buttons = new QHBoxLayout;
    addApplyButtons(buttons, this, [this] { apply(); });
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
}

void OperatorColourDialog::pickColour(int button)
{
    if (button < 1 || button > kOperatorRows * kOperatorColours)
        return;
    const int row = (button - 1) / kOperatorColours;
    const int colour = (button - 1) % kOperatorColours;
    QColor& working = m_colours[static_cast<size_t>(row)][static_cast<size_t>(colour)];
    if (const auto c = chooseColour(working, this)) {
        working = *c;
        paint(row, colour);
    }
}

QColor OperatorColourDialog::working(int row, int colour) const
{
    return m_colours[static_cast<size_t>(row)][static_cast<size_t>(colour)];
}

void OperatorColourDialog::paint(int row, int colour)
{
    paintSwatch(m_swatches[static_cast<size_t>(row)][static_cast<size_t>(colour)], working(row, colour));
}

void OperatorColourDialog::apply()
{
    for (int r = 0; r < kOperatorRows; ++r) {
        OperatorRow& row = m_settings.operatorRow(r);
        row.text = qstringToSjis(m_codes[static_cast<size_t>(r)]->text());
        for (int c = 0; c < kOperatorColours; ++c)
            row.colours[static_cast<size_t>(c)] = settingValue(working(r, c));
    }
    if (coloursApplied)
        coloursApplied();
}

void OperatorColourDialog::showEvent(QShowEvent* event)
{
    for (int r = 0; r < kOperatorRows; ++r) {
        const OperatorRow& row = m_settings.operatorRow(r);
        m_codes[static_cast<size_t>(r)]->setText(sjisToQString(row.text));
        // A row never filled in starts from the base colours, so an operator
        // added with one colour set keeps visible tracks and report rows.
        const bool unused = (row.text.empty() || row.text == kOperatorDefaultText)
                            && std::all_of(row.colours.begin(), row.colours.end(), [](uint32_t c) { return c == 0; });
        for (int c = 0; c < kOperatorColours; ++c) {
            const uint32_t value = unused ? m_settings.colour(kOperatorBaseColours[static_cast<size_t>(c)])
                                          : row.colours[static_cast<size_t>(c)];
            m_colours[static_cast<size_t>(r)][static_cast<size_t>(c)] = settingColour(value);
            paint(r, c);
        }
    }
    adjustSize();
    centreDialog(*this, m_owner);
    QDialog::showEvent(event);
}

} // namespace varnesk
