#pragma once

#include <QPointer>
#include <QString>

#include "transcription/QuilloLanguage.h"
#include "ui/widgets/ModalBackdrop.h"

class QBoxLayout;
class QGridLayout;
class QLineEdit;

namespace quillo {

class FlowLayout;
class Preferences;
class LanguageCard;

// The panel in which the user picks the languages they dictate in. It edits
// a working copy of the enabled set, which never becomes empty; Save stores
// it and turns live streaming on for English alone and off for anything else
// (streaming only understands English), Cancel leaves the preferences alone.
class LanguagePickerModal final : public ModalBackdrop
{
    Q_OBJECT

public:
    // Becomes a child of `host` covering it entirely (follows its resizes),
    // with the dimmed backdrop and the 560 x 780 card (shrunk to fit smaller
    // hosts), takes focus, and deletes itself after Save or Cancel.
    LanguagePickerModal(Preferences& prefs, QWidget* host);

signals:
    void saved();  // preferences written (enabled set, and streaming as the rule says)
    void closed(); // after Save or Cancel

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    // The catalogue entries whose English or native name contains the search
    // text (trimmed of spaces and tabs, any case); all of them for no text.
    std::vector<const QuilloLanguage*> filtered() const;
    void toggle(const QuilloLanguage& language);
    void save();
    void cancel();
    void finish();
    void showFiltered();
    void showSelection();

    Preferences& m_preferences;
    LanguageSet m_selection;
    QPointer<QWidget> m_previousFocus;
    QLineEdit* m_search;
    QWidget* m_chips;
    FlowLayout* m_chipLayout;
    QGridLayout* m_grid;
    std::vector<LanguageCard*> m_cards; // in catalogue order
    bool m_finished = false;
};

} // namespace quillo
