#pragma once

#include <functional>
#include <string>
#include <vector>

#include <QWidget>

#include "platform/Preferences.h"

namespace quillo {

class Credentials;
class DataStore;
class ThemedLabel;

// Under the engine: the dictionary words the offline model cannot hear, not
// being in its pronouncing dictionary, so the user knows why they never come
// out. Shown only while the offline engine is the one that runs and some such
// word exists; kept up to date as the engine, languages and words change.
class OfflineWordsNote final : public QWidget
{
    Q_OBJECT

public:
    // Those of the words the offline model does not know.
    using UnknownWords = std::function<std::vector<std::string>(const std::vector<std::string>&)>;

    OfflineWordsNote(Preferences& preferences,
                     const Credentials& credentials,
                     const DataStore& store,
                     UnknownWords unknownWords,
                     QWidget* parent = nullptr);
    ~OfflineWordsNote() override;

    void refresh();
    QString text() const;

private:
    ThemedLabel* m_label = nullptr;
    Preferences& m_preferences;
    const Credentials& m_credentials;
    const DataStore& m_store;
    UnknownWords m_unknownWords;
    Preferences::ObserverToken m_observer = 0;
};

} // namespace quillo
