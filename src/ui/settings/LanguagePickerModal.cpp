#include "ui/settings/LanguagePickerModal.h"

#include <QApplication>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

#include "platform/Preferences.h"
#include "settings/Settings.h"
#include "streaming/DeepgramLiveStreamer.h"
#include "ui/widgets/CardFrame.h"
#include "ui/widgets/FlowLayout.h"
#include "ui/widgets/QuilloTheme.h"

namespace quillo {

namespace {

const std::vector<const char*> kCloseIcon{"window-close-symbolic", "edit-delete-symbolic"};
const std::vector<const char*> kSearchIcon{"system-search-symbolic", "edit-find-symbolic"};

QString label(const QuilloLanguage& language)
{
    const QString name = QString::fromStdString(language.displayName);
    if (language.bcp47 == "en") {
        return name;
    }
    return name + QStringLiteral(" (") + QString::fromStdString(language.native) + QLatin1Char(')');
}

// Spaces and tabs only: a line break in the field is not padding.
QString trimSpacesAndTabs(const QString& text)
{
    auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && blank(text[begin])) {
        ++begin;
    }
    while (end > begin && blank(text[end - 1])) {
        --end;
    }
    return text.mid(begin, end - begin);
}

QToolButton* closeButton(const QColor& colour, int size)
{
    auto* button = new QToolButton;
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setStyleSheet(QStringLiteral("QToolButton { border: none; background: transparent; padding: 0; }"));
    button->setIcon(QIcon(theme::tintedIcon(kCloseIcon, colour, size)));
    button->setIconSize(QSize(size, size));
    return button;
}

} // namespace

// One language of the grid: its English name over its native name, tinted
// with the accent while selected.
class LanguageCard final : public QAbstractButton
{
public:
    explicit LanguageCard(const QuilloLanguage& language) : m_language(language)
    {
        setObjectName(QStringLiteral("language-") + QString::fromStdString(language.bcp47));
        setText(QString::fromStdString(language.displayName));
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::NoFocus);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

    const QuilloLanguage& language() const { return m_language; }

    void setSelected(bool selected)
    {
        if (selected != m_selected) {
            m_selected = selected;
            update();
        }
    }
    bool isSelected() const { return m_selected; }

    QSize sizeHint() const override { return {150, 62}; }
    QSize minimumSizeHint() const override { return {60, 62}; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QPalette& pal = palette();
        QColor fill = m_selected ? theme::accentSoft() : theme::contentBg(pal);
        if (!m_selected && underMouse()) {
            fill = theme::rowHover(pal);
            painter.setBrush(theme::contentBg(pal));
            painter.setPen(Qt::NoPen);
            painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
        }
        painter.setBrush(fill);
        painter.setPen(QPen(m_selected ? theme::accent() : theme::cardBorder(pal), m_selected ? 1.5 : 1));
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.75, 0.75, -0.75, -0.75), 10, 10);

        const QRect text = rect().adjusted(12, 9, -12, -9);
        const QFont nameFont = theme::font(16, QFont::Medium);
        const QFont nativeFont = theme::font(14);
        painter.setFont(nameFont);
        painter.setPen(m_selected ? theme::accentText(pal) : theme::textPrimary(pal));
        const int nameHeight = QFontMetrics(nameFont).height();
        painter.drawText(QRect(text.left(), text.top(), text.width(), nameHeight),
                         Qt::AlignLeft | Qt::AlignVCenter,
                         QFontMetrics(nameFont).elidedText(this->text(), Qt::ElideRight, text.width()));
        painter.setFont(nativeFont);
        painter.setPen(theme::textSecondary(pal));
        painter.drawText(QRect(text.left(), text.top() + nameHeight + 2, text.width(), text.height() - nameHeight - 2),
                         Qt::AlignLeft | Qt::AlignTop,
                         QFontMetrics(nativeFont)
                             .elidedText(QString::fromStdString(m_language.native), Qt::ElideRight, text.width()));
    }

    void enterEvent(QEnterEvent* event) override
    {
        QAbstractButton::enterEvent(event);
        update();
    }
    void leaveEvent(QEvent* event) override
    {
        QAbstractButton::leaveEvent(event);
        update();
    }

private:
    const QuilloLanguage& m_language;
    bool m_selected = false;
};

namespace {

// A selected language in the "Selected" list, with its remove button.
class Chip final : public QWidget
{
public:
    Chip(const QuilloLanguage& language, bool removable, QWidget* parent) : QWidget(parent)
    {
        setObjectName(QStringLiteral("chip-") + QString::fromStdString(language.bcp47));
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(10, 4, 6, 4);
        layout->setSpacing(4);
        auto* text = new QLabel(label(language));
        text->setFont(theme::font(theme::microSize, QFont::Medium));
        QPalette pal = text->palette();
        pal.setColor(QPalette::WindowText, theme::accentText(pal));
        text->setPalette(pal);
        layout->addWidget(text);
        // The last language cannot go: its button stays, faded, and does nothing.
        QColor tint = theme::accentText(pal);
        if (!removable) {
            tint.setAlphaF(0.2F);
        }
        remove = closeButton(tint, 12);
        remove->setObjectName(QStringLiteral("remove-") + QString::fromStdString(language.bcp47));
        remove->setAccessibleName(QStringLiteral("Remove ") + label(language));
        remove->setFixedSize(18, 18);
        remove->setCursor(removable ? Qt::PointingHandCursor : Qt::ArrowCursor);
        layout->addWidget(remove);
    }

    QToolButton* remove;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(theme::accentSoft());
        const qreal radius = height() / 2.0;
        painter.drawRoundedRect(QRectF(rect()), radius, radius);
    }
};

} // namespace

LanguagePickerModal::LanguagePickerModal(Preferences& prefs, QWidget* host)
    : ModalBackdrop(host, 16, CardFill::card), m_preferences(prefs), m_selection(QuilloLanguage::enabled(prefs)),
      m_previousFocus(QApplication::focusWidget())
{
    setObjectName(QStringLiteral("languagePicker"));

    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(24, 22, 24, 20);
    layout->setSpacing(14);

    // Header.
    auto* header = new QHBoxLayout;
    auto* titles = new QVBoxLayout;
    titles->setSpacing(2);
    titles->addWidget(
        new ThemedLabel(QStringLiteral("Languages"), ThemedLabel::Role::primary, theme::font(22, QFont::DemiBold)));
    titles->addWidget(new ThemedLabel(QStringLiteral("Select the languages you want to dictate in"),
                                      ThemedLabel::Role::secondary,
                                      theme::font(theme::microSize)));
    header->addLayout(titles, 1);
    QToolButton* close = closeButton(theme::textSecondary(palette()), 16);
    close->setObjectName(QStringLiteral("close"));
    close->setFixedSize(28, 28);
    close->setCursor(Qt::PointingHandCursor);
    close->setToolTip(QStringLiteral("Close"));
    close->setAccessibleName(QStringLiteral("Close"));
    header->addWidget(close, 0, Qt::AlignTop);
    layout->addLayout(header);

    // Search.
    auto* searchBox = new CardFrame(9, 0);
    auto* searchLayout = new QHBoxLayout(searchBox);
    searchLayout->setContentsMargins(12, 8, 12, 8);
    searchLayout->setSpacing(8);
    searchLayout->addWidget(new SymbolLabel(kSearchIcon, SymbolLabel::Tint::tertiary, theme::microSize));
    m_search = new QLineEdit;
    m_search->setObjectName(QStringLiteral("search"));
    m_search->setPlaceholderText(QStringLiteral("Search for any language"));
    m_search->setFrame(false);
    m_search->setFont(theme::font(16));
    m_search->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; }"));
    searchLayout->addWidget(m_search, 1);
    layout->addWidget(searchBox);

    // Selected languages.
    auto* selectedHead =
        new ThemedLabel(QStringLiteral("Selected"), ThemedLabel::Role::tertiary, theme::font(13, QFont::DemiBold));
    layout->addWidget(selectedHead);
    m_chips = new QWidget;
    m_chips->setObjectName(QStringLiteral("chips"));
    m_chipLayout = new FlowLayout(m_chips, 6);
    auto* chipScroll = new QScrollArea;
    chipScroll->setWidget(m_chips);
    chipScroll->setWidgetResizable(true);
    chipScroll->setFrameShape(QFrame::NoFrame);
    chipScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The viewport and the page in it only: a rule for every grandchild would
    // reach the scroll bar too and leave it drawn as a hollow outline.
    chipScroll->setStyleSheet(QStringLiteral("QScrollArea, #qt_scrollarea_viewport, #qt_scrollarea_viewport > QWidget"
                                             " { background: transparent; }"));
    // Three lines of chips at most; a longer selection scrolls.
    chipScroll->setMaximumHeight(3 * 26 + 2 * 6);
    chipScroll->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    layout->addWidget(chipScroll);

    // The grid.
    auto* gridHost = new QWidget;
    gridHost->setObjectName(QStringLiteral("grid"));
    auto* gridOuter = new QVBoxLayout(gridHost);
    gridOuter->setContentsMargins(0, 0, 0, 0);
    m_grid = new QGridLayout;
    m_grid->setHorizontalSpacing(10);
    m_grid->setVerticalSpacing(10);
    for (int column = 0; column < 3; ++column) {
        m_grid->setColumnStretch(column, 1);
    }
    gridOuter->addLayout(m_grid);
    gridOuter->addStretch(1);
    for (const QuilloLanguage& language : QuilloLanguage::all()) {
        auto* card = new LanguageCard(language);
        card->setParent(gridHost);
        connect(card, &QAbstractButton::clicked, this, [this, &language] { toggle(language); });
        m_cards.push_back(card);
    }
    auto* gridScroll = new QScrollArea;
    gridScroll->setWidget(gridHost);
    gridScroll->setWidgetResizable(true);
    gridScroll->setFrameShape(QFrame::NoFrame);
    gridScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    gridScroll->setStyleSheet(QStringLiteral("QScrollArea, #qt_scrollarea_viewport, #qt_scrollarea_viewport > QWidget"
                                             " { background: transparent; }"));
    layout->addWidget(gridScroll, 1);

    // Footer.
    auto* footer = new QHBoxLayout;
    footer->addStretch(1);
    auto* saveButton = new QPushButton(QStringLiteral("Save and close"));
    saveButton->setObjectName(QStringLiteral("save"));
    saveButton->setCursor(Qt::PointingHandCursor);
    saveButton->setFocusPolicy(Qt::NoFocus);
    saveButton->setFont(theme::font(theme::microSize, QFont::DemiBold));
    saveButton->setStyleSheet(QStringLiteral("QPushButton { color: white; background: %1; border: none;"
                                             " border-radius: 8px; padding: 8px 18px; }"
                                             "QPushButton:pressed { background: %2; }")
                                  .arg(theme::accent().name(), theme::accent().darker(115).name()));
    footer->addWidget(saveButton);
    layout->addLayout(footer);

    setCard(content, QSize(560, 780));

    connect(close, &QToolButton::clicked, this, &LanguagePickerModal::cancel);
    connect(saveButton, &QPushButton::clicked, this, &LanguagePickerModal::save);
    connect(this, &ModalBackdrop::backdropClicked, this, &LanguagePickerModal::cancel);
    connect(m_search, &QLineEdit::textChanged, this, &LanguagePickerModal::showFiltered);

    showSelection();
    showFiltered();
    show();
    m_search->setFocus(Qt::OtherFocusReason);
}

std::vector<const QuilloLanguage*> LanguagePickerModal::filtered() const
{
    const QString query = trimSpacesAndTabs(m_search->text()).toLower();
    std::vector<const QuilloLanguage*> result;
    for (const QuilloLanguage& language : QuilloLanguage::all()) {
        if (query.isEmpty() || QString::fromStdString(language.displayName).toLower().contains(query) ||
            QString::fromStdString(language.native).toLower().contains(query)) {
            result.push_back(&language);
        }
    }
    return result;
}

void LanguagePickerModal::toggle(const QuilloLanguage& language)
{
    if (m_selection.contains(language.bcp47)) {
        if (m_selection.size() < 2) {
            return; // the selection never becomes empty
        }
        m_selection.erase(language.bcp47);
    } else {
        m_selection.insert(language.bcp47);
    }
    showSelection();
}

void LanguagePickerModal::showFiltered()
{
    while (m_grid->count() > 0) {
        delete m_grid->takeAt(0);
    }
    for (LanguageCard* card : m_cards) {
        card->hide();
    }
    int index = 0;
    for (const QuilloLanguage* language : filtered()) {
        LanguageCard* card = m_cards[static_cast<std::size_t>(language - QuilloLanguage::all().data())];
        m_grid->addWidget(card, index / 3, index % 3);
        card->show();
        ++index;
    }
}

void LanguagePickerModal::showSelection()
{
    for (LanguageCard* card : m_cards) {
        card->setSelected(m_selection.contains(card->language().bcp47));
    }
    while (QLayoutItem* item = m_chipLayout->takeAt(0)) {
        // Later: the chip whose button was just clicked is still in its signal.
        item->widget()->hide();
        item->widget()->deleteLater();
        delete item;
    }
    const bool removable = m_selection.size() > 1;
    for (const QuilloLanguage& language : QuilloLanguage::all()) {
        if (!m_selection.contains(language.bcp47)) {
            continue;
        }
        auto* chip = new Chip(language, removable, m_chips);
        connect(chip->remove, &QToolButton::clicked, this, [this, &language] { toggle(language); });
        m_chipLayout->addWidget(chip);
        chip->show();
    }
}

void LanguagePickerModal::save()
{
    if (m_finished) {
        return;
    }
    QuilloLanguage::setEnabled(m_preferences, m_selection);
    EditableSettings(m_preferences).set(setting::streamingEnabled, m_selection == LanguageSet{"en"});
    emit saved();
    finish();
}

void LanguagePickerModal::cancel()
{
    if (!m_finished) {
        finish();
    }
}

void LanguagePickerModal::finish()
{
    m_finished = true;
    hide();
    if (m_previousFocus) {
        m_previousFocus->setFocus(Qt::OtherFocusReason);
    }
    emit closed();
    deleteLater();
}

void LanguagePickerModal::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        cancel();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        save();
        break;
    default:
        ModalBackdrop::keyPressEvent(event);
        return;
    }
    event->accept();
}

bool LanguagePickerModal::focusNextPrevChild(bool)
{
    // The search field is the panel's only keyboard stop; Tab must not reach
    // the screen underneath.
    m_search->setFocus(Qt::TabFocusReason);
    return true;
}

} // namespace quillo
