#include "ui/settings/ApiKeysCard.h"

#include <optional>

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "ui/settings/SettingsParts.h"
#include "ui/widgets/LatestJob.h"
#include "ui/widgets/PillButton.h"
#include "ui/widgets/QuilloTheme.h"

namespace quillo {

using namespace settings;

namespace {

QString serviceName(ApiKeysCard::Service service)
{
    return service == ApiKeysCard::Service::openAI ? QStringLiteral("OpenAI") : QStringLiteral("Deepgram");
}

QString hint(ApiKeysCard::Service service)
{
    return service == ApiKeysCard::Service::openAI
               ? QStringLiteral("Transcribes languages other than English and cleans up every dictation. Create a key "
                                "in your OpenAI account's dashboard, under API keys.")
               : QStringLiteral("Transcribes English, and live while you speak. Create a key in the Deepgram "
                                "console, under API Keys.");
}

// "…x7Qa": enough of a saved key to tell two apart, never the key.
QString keyEnd(const std::optional<std::string>& key)
{
    if (!key || key->size() < 12) {
        return {};
    }
    return QStringLiteral(" (ends in …%1)").arg(QString::fromStdString(key->substr(key->size() - 4)));
}

QColor okGreen(const QPalette& palette)
{
    return theme::isDark(palette) ? QColor(74, 222, 128) : QColor(22, 128, 61);
}

} // namespace

ApiKeysCard::ApiKeysCard(ServiceKeyStore& keys, KeyCheck check, QWidget* parent)
    : CardFrame(12, 3, parent), m_keys(keys), m_check(std::move(check))
{
    QVBoxLayout* layout = cardLayout(this);
    m_rows[0].service = Service::openAI;
    m_rows[1].service = Service::deepgram;
    for (Row& row : m_rows) {
        if (&row != &m_rows.front()) {
            layout->addWidget(new Divider);
        }
        auto* block = new QVBoxLayout;
        block->setSpacing(6);
        buildRow(row);
        block->addWidget(rowTitle(serviceName(row.service)));
        block->addWidget(rowDescription(hint(row.service)));
        block->addSpacing(4);
        auto* line = new QHBoxLayout;
        line->setSpacing(8);
        line->addWidget(row.field, 1);
        for (PillButton* button : {row.show, row.save, row.remove, row.test}) {
            line->addWidget(button);
        }
        block->addLayout(line);
        block->addWidget(row.status);
        layout->addLayout(block);
    }
    m_keys.setChangeCallback([this] { reload(); });
    reload();
}

ApiKeysCard::~ApiKeysCard()
{
    m_keys.setChangeCallback({});
}

void ApiKeysCard::buildRow(Row& row)
{
    const QString name = serviceName(row.service);
    row.field = new QLineEdit;
    row.field->setObjectName(QStringLiteral("key-") + name);
    row.field->setEchoMode(QLineEdit::Password);
    row.field->setFont(theme::font(theme::captionSize));
    row.field->setAccessibleName(name + QStringLiteral(" API key"));
    row.show = new PillButton(QStringLiteral("Show"), PillButton::Kind::neutral);
    row.show->setAccessibleName(QStringLiteral("Show the typed %1 key").arg(name));
    row.save = new PillButton(QStringLiteral("Save"), PillButton::Kind::prominent);
    row.save->setAccessibleName(QStringLiteral("Save the %1 key").arg(name));
    row.remove = new PillButton(QStringLiteral("Remove"), PillButton::Kind::destructive);
    row.remove->setAccessibleName(QStringLiteral("Remove the saved %1 key").arg(name));
    row.test = new PillButton(QStringLiteral("Test"), PillButton::Kind::neutral);
    row.test->setAccessibleName(QStringLiteral("Test the %1 key").arg(name));
    for (PillButton* button : {row.show, row.save, row.remove, row.test}) {
        button->setFont(theme::font(theme::captionSize, QFont::Medium));
    }
    row.status = rowDescription(QString());
    row.status->setObjectName(QStringLiteral("keyStatus-") + name);
    row.job = std::make_unique<LatestJob>(this);

    const Service service = row.service;
    connect(row.field, &QLineEdit::textChanged, this, [this, service] { refreshRow(rowOf(service)); });
    connect(row.field, &QLineEdit::returnPressed, this, [this, service] { save(rowOf(service)); });
    connect(row.show, &PillButton::clicked, this, [this, service] {
        Row& r = rowOf(service);
        const bool hidden = r.field->echoMode() == QLineEdit::Password;
        r.field->setEchoMode(hidden ? QLineEdit::Normal : QLineEdit::Password);
        r.show->setText(hidden ? QStringLiteral("Hide") : QStringLiteral("Show"));
        r.show->updateGeometry();
    });
    connect(row.save, &PillButton::clicked, this, [this, service] { save(rowOf(service)); });
    connect(row.remove, &PillButton::clicked, this, [this, service] { remove(rowOf(service)); });
    connect(row.test, &PillButton::clicked, this, [this, service] { test(rowOf(service)); });
}

void ApiKeysCard::reload()
{
    for (Row& row : m_rows) {
        const QString variable = QString::fromStdString(m_keys.environmentName(row.service));
        const std::optional<std::string> key = m_keys.key(row.service);
        QString text;
        switch (m_keys.source(row.service)) {
        case ServiceKeyStore::Source::environment:
            text = QStringLiteral("In use: the key in %1 from Quillo's environment%2, which wins over a saved key.")
                       .arg(variable, keyEnd(key));
            break;
        case ServiceKeyStore::Source::keyring:
            text = QStringLiteral("Saved in the desktop's keyring%1.").arg(keyEnd(key));
            break;
        case ServiceKeyStore::Source::file:
            text = QStringLiteral("Saved in %1%2.").arg(QString::fromStdString(m_keys.filePath()), keyEnd(key));
            break;
        case ServiceKeyStore::Source::none:
            text = QStringLiteral("No key yet: %1 is off until one is saved.").arg(serviceName(row.service));
            break;
        }
        setStatus(row, text, theme::textSecondary(palette()));
        refreshRow(row);
    }
}

void ApiKeysCard::refreshRow(Row& row)
{
    const bool typed = !row.field->text().trimmed().isEmpty();
    const ServiceKeyStore::Source source = m_keys.source(row.service);
    const bool saved = source == ServiceKeyStore::Source::keyring || source == ServiceKeyStore::Source::file;
    row.field->setPlaceholderText(saved || source == ServiceKeyStore::Source::environment
                                      ? QStringLiteral("Paste a new key to replace it")
                                      : QStringLiteral("Paste your key"));
    row.save->setEnabled(typed);
    row.remove->setVisible(saved);
    row.test->setEnabled(typed || m_keys.key(row.service).has_value());
}

void ApiKeysCard::setStatus(Row& row, const QString& text, const QColor& colour)
{
    row.status->setText(text);
    QPalette palette = row.status->palette();
    palette.setColor(QPalette::WindowText, colour);
    row.status->setPalette(palette);
    row.status->setStyleSheet(QStringLiteral("color: %1;").arg(colour.name(QColor::HexArgb)));
}

void ApiKeysCard::save(Row& row)
{
    const std::string key = row.field->text().trimmed().toStdString();
    if (key.empty()) {
        return;
    }
    row.save->setEnabled(false);
    const Service service = row.service;
    m_keys.save(service, key, [this, service](const std::string& error) {
        Row& r = rowOf(service);
        if (!error.empty()) {
            setStatus(r, QString::fromStdString(error), theme::dangerText(palette()));
            refreshRow(r);
            return;
        }
        r.field->clear();
        r.field->setEchoMode(QLineEdit::Password);
        r.show->setText(QStringLiteral("Show"));
        reload();
    });
}

void ApiKeysCard::remove(Row& row)
{
    row.remove->setEnabled(false);
    const Service service = row.service;
    m_keys.remove(service, [this, service](const std::string& error) {
        reload();
        if (!error.empty()) {
            setStatus(rowOf(service), QString::fromStdString(error), theme::dangerText(palette()));
        }
    });
}

void ApiKeysCard::test(Row& row)
{
    const QString typed = row.field->text().trimmed();
    const std::optional<std::string> key =
        typed.isEmpty() ? m_keys.key(row.service) : std::optional<std::string>(typed.toStdString());
    if (!key) {
        return;
    }
    setStatus(row, QStringLiteral("Testing the key…"), theme::textSecondary(palette()));
    row.test->setEnabled(false);
    const Service service = row.service;
    row.job->start([check = m_check, service, candidate = *key] { return check(service, candidate); },
                   [this, service](KeyCheckResult result) {
                       Row& r = rowOf(service);
                       setStatus(r,
                                 QString::fromStdString(result.message),
                                 result.works ? okGreen(palette()) : theme::dangerText(palette()));
                       refreshRow(r);
                   });
}

} // namespace quillo
