#include "ui/main/HistoryView.h"

#include <algorithm>

#include <QFrame>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "store/DataStore.h"
#include "ui/main/HistoryListModel.h"
#include "ui/main/HistoryRowDelegate.h"
#include "ui/widgets/CardFrame.h"
#include "ui/widgets/ConfirmDestructive.h"
#include "ui/widgets/LatestJob.h"
#include "ui/widgets/QuilloTheme.h"
#include "ui/widgets/StoreWatcher.h"

namespace quillo {

namespace {
constexpr std::initializer_list<const char*> kClockIcon = {"document-open-recent-symbolic", "document-open-recent"};
constexpr std::initializer_list<const char*> kSearchIcon = {"edit-find-symbolic", "system-search-symbolic"};

// The list with room above the first card and below the last.
class HistoryListView final : public QListView
{
public:
    HistoryListView()
    {
        setViewportMargins(0, 22 - HistoryRowDelegate::kRowGap / 2, 0, 22 - HistoryRowDelegate::kRowGap / 2);
    }
};
} // namespace

struct HistoryView::Result
{
    quint64 storeVersion = 0;
    std::size_t totalWords = 0;
    HistoryListModel::Content content;
};

HistoryView::HistoryView(DataStore& store, QWidget* parent)
    : QWidget(parent), m_store(store), m_watcher(new StoreWatcher(store, this)), m_model(new HistoryListModel(this)),
      m_job(std::make_unique<LatestJob>(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // Title, counts and Clear All.
    auto* header = new QHBoxLayout;
    header->setContentsMargins(40, 36, 40, 18);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(5);
    titles->addWidget(new ThemedLabel(QStringLiteral("History"),
                                      ThemedLabel::Role::primary,
                                      theme::font(theme::pageTitleSize, QFont::Bold)));
    m_subtitle = new ThemedLabel(QString(), ThemedLabel::Role::secondary, theme::font(theme::captionSize));
    m_subtitle->setObjectName(QStringLiteral("subtitle"));
    titles->addWidget(m_subtitle);
    header->addLayout(titles);
    header->addStretch(1);
    m_clearAll = new QPushButton(QStringLiteral("Clear All"));
    m_clearAll->setObjectName(QStringLiteral("clearAll"));
    m_clearAll->setCursor(Qt::PointingHandCursor);
    m_clearAll->setFont(theme::font(theme::captionSize, QFont::Medium));
    m_clearAll->setStyleSheet(QStringLiteral("QPushButton { color: %1; background: rgba(220, 38, 38, 20);"
                                             " border: none; border-radius: 7px; padding: 7px 12px; }"
                                             "QPushButton:pressed { background: rgba(220, 38, 38, 40); }")
                                  .arg(theme::dangerText(m_clearAll->palette()).name()));
    header->addWidget(m_clearAll, 0, Qt::AlignTop);
    layout->addLayout(header);

    // The search field.
    auto* searchRow = new QHBoxLayout;
    searchRow->setContentsMargins(40, 0, 40, 18);
    auto* searchBox = new CardFrame(9, 0);
    auto* searchLayout = new QHBoxLayout(searchBox);
    searchLayout->setContentsMargins(14, 10, 14, 12);
    searchLayout->setSpacing(10);
    searchLayout->addWidget(new SymbolLabel(kSearchIcon, SymbolLabel::Tint::tertiary, theme::captionSize));
    m_search = new QLineEdit;
    m_search->setObjectName(QStringLiteral("search"));
    m_search->setPlaceholderText(QStringLiteral("Search dictations\u2026"));
    m_search->setFrame(false);
    m_search->setFont(theme::font(theme::bodySize));
    m_search->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; }"));
    searchLayout->addWidget(m_search, 1);
    m_searchClear = new QToolButton;
    m_searchClear->setObjectName(QStringLiteral("searchClear"));
    m_searchClear->setAutoRaise(true);
    m_searchClear->setStyleSheet(QStringLiteral("QToolButton { border: none; background: transparent; }"));
    m_searchClear->setIcon(QIcon(theme::tintedIcon({"edit-clear-symbolic", "window-close-symbolic"},
                                                   theme::textTertiary(palette()),
                                                   theme::captionSize)));
    m_searchClear->setToolTip(QStringLiteral("Clear search"));
    m_searchClear->setAccessibleName(QStringLiteral("Clear search"));
    m_search->setAccessibleName(QStringLiteral("Search dictations"));
    m_searchClear->hide();
    searchLayout->addWidget(m_searchClear);
    searchRow->addWidget(searchBox);
    layout->addLayout(searchRow);

    auto* divider = new QFrame;
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    divider->setStyleSheet(QStringLiteral("color: %1;").arg(theme::cardBorder(palette()).name(QColor::HexArgb)));
    layout->addWidget(divider);

    // The list, or a message when it is empty.
    m_content = new QStackedWidget;
    auto* empty = new QWidget;
    auto* emptyLayout = new QVBoxLayout(empty);
    emptyLayout->setSpacing(14);
    emptyLayout->addStretch(1);
    m_emptySymbol = new SymbolLabel(kClockIcon, SymbolLabel::Tint::tertiary, 40);
    emptyLayout->addWidget(m_emptySymbol, 0, Qt::AlignHCenter);
    m_emptyTitle =
        new ThemedLabel(QString(), ThemedLabel::Role::secondary, theme::font(theme::bodySize, QFont::Medium));
    m_emptyTitle->setObjectName(QStringLiteral("emptyTitle"));
    emptyLayout->addWidget(m_emptyTitle, 0, Qt::AlignHCenter);
    m_emptyHint = new ThemedLabel(QStringLiteral("Hold your hotkey and speak to get started."),
                                  ThemedLabel::Role::tertiary,
                                  theme::font(theme::captionSize));
    m_emptyHint->setObjectName(QStringLiteral("emptyHint"));
    emptyLayout->addWidget(m_emptyHint, 0, Qt::AlignHCenter);
    emptyLayout->addStretch(1);
    m_content->addWidget(empty);

    m_list = new HistoryListView;
    m_list->setObjectName(QStringLiteral("historyList"));
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setModel(m_model);
    m_delegate = new HistoryRowDelegate(m_list);
    m_list->setItemDelegate(m_delegate);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setFocusPolicy(Qt::NoFocus);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->setResizeMode(QListView::Adjust);
    // Lays out a batch of rows per event-loop turn, so a long history shows
    // its first screen at once and the rest is measured in the background.
    m_list->setLayoutMode(QListView::Batched);
    m_list->setBatchSize(100);
    m_list->setMouseTracking(true);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setBackgroundRole(QPalette::Window);
    m_list->viewport()->setBackgroundRole(QPalette::Window);
    m_content->addWidget(m_list);
    layout->addWidget(m_content, 1);

    connect(m_search, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_searchClear->setVisible(!text.isEmpty());
        catchUp();
    });
    connect(m_searchClear, &QToolButton::clicked, m_search, &QLineEdit::clear);
    connect(m_clearAll, &QPushButton::clicked, this, &HistoryView::askToClear);
    connect(m_watcher, &StoreWatcher::changed, this, [this] {
        ++m_storeVersion;
        // A page the window is not showing catches up when it is shown.
        if (parentWidget() && isHidden()) {
            m_stale = true;
        } else {
            refresh();
        }
    });
    // A long history waits until the page is first shown.
    if (m_store.totalDictations() <= kInlineEntries) {
        refresh();
    } else {
        m_stale = true;
        m_clearAll->hide();
        m_content->setCurrentWidget(m_list);
    }
}

HistoryView::~HistoryView() = default;

void HistoryView::setTopSection(QWidget* section)
{
    // Right after the header row: above the search, which covers the history only.
    static_cast<QVBoxLayout*>(layout())->insertWidget(1, section);
}

void HistoryView::refresh()
{
    catchUp();
}

void HistoryView::catchUp()
{
    const bool reload = m_shownVersion != m_storeVersion;
    auto work = [store = &m_store,
                 reload,
                 version = m_storeVersion,
                 words = m_totalWords,
                 term = m_search->text(),
                 previous = m_model->content()] {
        Result result{version, words, {}};
        HistoryListModel::History history = previous.history;
        if (reload) {
            auto loaded = std::make_shared<const std::vector<DictationEntry>>(store->history());
            result.totalWords = statistics::totalWords(*loaded);
            history = std::move(loaded);
        }
        result.content = HistoryListModel::makeContent(std::move(history), term, previous);
        return result;
    };
    if (std::max(m_model->totalCount(), m_store.totalDictations()) <= kInlineEntries) {
        m_job->cancel();
        present(work());
    } else {
        m_job->start(work, [this](Result result) { present(std::move(result)); });
    }
}

void HistoryView::present(Result result)
{
    m_shownVersion = result.storeVersion;
    m_totalWords = result.totalWords;
    m_model->setContent(std::move(result.content));
    const std::size_t count = m_model->totalCount();
    if (count == 0) {
        m_subtitle->setText(QStringLiteral("No dictations yet"));
    } else {
        m_subtitle->setText(QStringLiteral("%1 dictations \u00B7 %2 words").arg(count).arg(m_totalWords));
    }
    m_clearAll->setVisible(count != 0);
    updateContent();
}

bool HistoryView::isUpdating() const
{
    return m_job->isPending();
}

void HistoryView::updateContent()
{
    const bool searching = !m_model->filter().isEmpty();
    if (m_model->rowCount() == 0) {
        m_emptySymbol->setSymbol(searching ? kSearchIcon : kClockIcon, SymbolLabel::Tint::tertiary);
        m_emptyTitle->setText(searching ? QStringLiteral("No results") : QStringLiteral("No dictations yet"));
        m_emptyHint->setVisible(!searching);
        m_content->setCurrentIndex(0);
    } else {
        m_content->setCurrentIndex(1);
    }
}

void HistoryView::askToClear()
{
    if (m_confirmation) {
        return;
    }
    m_confirmation = askToConfirm(this,
                                  {QStringLiteral("Clear all history?"),
                                   QStringLiteral("This cannot be undone."),
                                   QStringLiteral("Clear All"),
                                   QStringLiteral("confirmClear"),
                                   QStringLiteral("cancelClear")},
                                  [this] { m_store.clearHistory(); });
}

void HistoryView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_stale) {
        m_stale = false;
        refresh();
    }
}

QString HistoryView::subtitle() const
{
    return m_subtitle->text();
}

bool HistoryView::showsEmptyState() const
{
    return m_content->currentIndex() == 0;
}

QString HistoryView::emptyTitle() const
{
    return m_emptyTitle->text();
}

bool HistoryView::emptyHintVisible() const
{
    return !m_emptyHint->isHidden();
}

} // namespace quillo
