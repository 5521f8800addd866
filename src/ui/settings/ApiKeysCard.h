#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "platform/ServiceKeyStore.h"
#include "transcription/KeyCheck.h"
#include "ui/widgets/CardFrame.h"

class QLabel;
class QLineEdit;

namespace quillo {

class LatestJob;
class PillButton;

// One row per service: a masked field for a new key with Show, Save, Remove
// and Test, a hint of where to get a key, and a line saying which key is in
// force and where it is kept. A saved key is never shown again, only its end.
class ApiKeysCard final : public CardFrame
{
    Q_OBJECT

public:
    using Service = ServiceKeyStore::Service;
    // Runs on a worker thread: it blocks while the service answers.
    using KeyCheck = std::function<KeyCheckResult(Service, const std::string& key)>;

    ApiKeysCard(ServiceKeyStore& keys, KeyCheck check, QWidget* parent = nullptr);
    ~ApiKeysCard() override;

    // Shows where each key in force comes from now.
    void reload();

    QLineEdit* field(Service service) const { return rowOf(service).field; }
    PillButton* showButton(Service service) const { return rowOf(service).show; }
    PillButton* saveButton(Service service) const { return rowOf(service).save; }
    PillButton* removeButton(Service service) const { return rowOf(service).remove; }
    PillButton* testButton(Service service) const { return rowOf(service).test; }
    // Where the key in force comes from, or what the last action gave.
    QLabel* status(Service service) const { return rowOf(service).status; }

private:
    struct Row
    {
        Service service;
        QLineEdit* field = nullptr;
        PillButton* show = nullptr;
        PillButton* save = nullptr;
        PillButton* remove = nullptr;
        PillButton* test = nullptr;
        QLabel* status = nullptr;
        std::unique_ptr<LatestJob> job;
    };

    const Row& rowOf(Service service) const { return m_rows[static_cast<std::size_t>(service)]; }
    Row& rowOf(Service service) { return m_rows[static_cast<std::size_t>(service)]; }
    void buildRow(Row& row);
    void refreshRow(Row& row);
    void setStatus(Row& row, const QString& text, const QColor& colour);
    void save(Row& row);
    void remove(Row& row);
    void test(Row& row);

    ServiceKeyStore& m_keys;
    KeyCheck m_check;
    std::array<Row, 2> m_rows;
};

} // namespace quillo
