// TForm18: two swatches with "..." buttons, OK and Cancel.
#include "decode/ui/text_colour_dialog.h"
#include "widgets/modal_over.h"

#include "settings/settings_store.h"
#include "widgets/centre_dialog.h"
#include "widgets/dialog_buttons.h"

#include <QColorDialog>
#include <QFontInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace varnesk {

namespace {

TextColourDialog::ColourPicker& picker()
{
    static TextColourDialog::ColourPicker p;
    return p;
}

} // namespace

QColor settingColour(uint32_t value)
{
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}

uint32_t settingValue(const QColor& colour)
{
    return static_cast<uint32_t>(colour.blue()) << 16 | static_cast<uint32_t>(colour.green()) << 8
           | static_cast<uint32_t>(colour.red());
}

QFont fontInUse(const QFont& requested)
{
    QFont font = requested;
    const QFontInfo info(requested);
    font.setFamilies({info.family()});
    if (info.pointSize() > 0)
        font.setPointSize(info.pointSize());
    return font;
}

std::optional<QColor> chooseColour(const QColor& initial, QWidget* parent)
{
    if (picker())
        return picker()(initial, parent);
    const QColor c = QColorDialog::getColor(initial, parent);
    if (!c.isValid())
        return std::nullopt;
    return c;
}

void TextColourDialog::setColourPicker(ColourPicker p)
{
    picker() = std::move(p);
}

TextColourDialog::TextColourDialog(SettingsStore& settings, QWidget* parent) : QDialog(parent), m_settings(settings)
{
    setWindowTitle(QStringLiteral("色設定"));
    setModal(true);

    auto* grid = new QGridLayout;
    auto makeRow = [&](int row, const QString& label, QFrame*& swatch, const QString& name, bool textColour) {
        grid->addWidget(new QLabel(label, this), row, 0);
        swatch = new QFrame(this);
        swatch->setObjectName(name + QStringLiteral("Swatch"));
        swatch->setFrameShape(QFrame::Box);
        swatch->setFixedSize(48, 20);
        swatch->setAutoFillBackground(true);
        grid->addWidget(swatch, row, 1);
        auto* button = new QPushButton(QStringLiteral("..."), this);
        button->setObjectName(name + QStringLiteral("Button"));
        button->setFixedWidth(28);
        connect(button, &QPushButton::clicked, this, [this, textColour] { pick(textColour); });
        grid->addWidget(button, row, 2);
    };
    makeRow(0, QStringLiteral("文字色"), m_textSwatch, QStringLiteral("Text"), true);
    makeRow(1, QStringLiteral("バックグランド"), m_backSwatch, QStringLiteral("Back"), false);

    QHBoxLayout* buttons = makeOkCancelRow(*this, "OkButton", "CancelButton").layout;

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
}

int TextColourDialog::run(Mode mode, QWidget* opener, QWidget* target)
{
    m_mode = mode;
    m_target = target;
    m_text = settingColour(m_settings.colour(mode == Mode::List ? Key::ListText : Key::TextText));
    m_back = settingColour(m_settings.colour(mode == Mode::List ? Key::ListBack : Key::TextBack));
    paintSwatches();
    adjustSize();
    centreDialog(*this, opener);
    return execOver(*this, opener);
}

void TextColourDialog::paintSwatches()
{
    for (auto [swatch, colour] : {std::pair{m_textSwatch, m_text}, std::pair{m_backSwatch, m_back}}) {
        QPalette p = swatch->palette();
        p.setColor(QPalette::Window, colour);
        swatch->setPalette(p);
    }
}

void TextColourDialog::pick(bool textColour)
{
    QColor& working = textColour ? m_text : m_back;
    const std::optional<QColor> chosen = chooseColour(working, this);
    if (!chosen)
        return;
    working = *chosen;
    paintSwatches();
}

void TextColourDialog::colourWidget(QWidget* target, const QColor& text, const QColor& back)
{
    if (!target)
        return;
    QPalette p = target->palette();
    p.setColor(QPalette::Base, back);
    p.setColor(QPalette::Window, back);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::WindowText, text);
    target->setPalette(p);
}

void TextColourDialog::accept()
{
    m_settings.setColour(m_mode == Mode::List ? Key::ListText : Key::TextText, settingValue(m_text));
    m_settings.setColour(m_mode == Mode::List ? Key::ListBack : Key::TextBack, settingValue(m_back));
    colourWidget(m_target, m_text, m_back);
    QDialog::accept();
}

} // namespace varnesk
