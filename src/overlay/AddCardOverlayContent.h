#pragma once

#include "auth/Session.h"
#include "backend/Deck.h"
#include "backend/TranslationResult.h"
#include "overlay/ResultListModel.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

#include <QCoroTask>

#include <chrono>
#include <functional>
#include <optional>

class ConvexClient;
class DismissSignal;

// The state and operations of one opening of the add-card overlay: the text to
// translate, the candidates, the chosen one and its saving. The view binds to
// these properties and forwards Return, clicks and the "ADD" button here; the
// panel creates a new one for every opening, so nothing survives a closing.
class AddCardOverlayContent : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the add-card panel for each opening")
    Q_PROPERTY(Phase phase READ phase NOTIFY phaseChanged)
    Q_PROPERTY(QString word READ word WRITE setWord NOTIFY wordChanged)
    Q_PROPERTY(ResultListModel *results READ resultModel CONSTANT)
    Q_PROPERTY(QVariant selected READ selectedForView NOTIFY selectedChanged)
    Q_PROPERTY(bool isSaving READ isSaving NOTIFY isSavingChanged)
    Q_PROPERTY(QVariant activeDeck READ activeDeckForView NOTIFY activeDeckChanged)
    Q_PROPERTY(QString error READ errorText NOTIFY errorChanged)
    Q_PROPERTY(bool hasError READ hasError NOTIFY errorChanged)
    // One line under the field when Return cannot work (signed out); empty otherwise.
    Q_PROPERTY(QString notice READ notice NOTIFY noticeChanged)
    Q_PROPERTY(bool isVisible READ isVisible NOTIFY isVisibleChanged)
    Q_PROPERTY(bool inputFocused READ inputFocused WRITE setInputFocused NOTIFY inputFocusedChanged)
    // The candidate the keyboard points at, -1 while none is (a mouse user
    // never sees one: it appears with the first arrow key).
    Q_PROPERTY(int highlightedIndex READ highlightedIndex NOTIFY highlightedIndexChanged)

public:
    enum class Phase { Input, Loading, Results, Selected };
    Q_ENUM(Phase)

    // How long the exit animation runs before the host is told to remove the
    // panel, and how long after opening the input field asks for the focus.
    static constexpr std::chrono::milliseconds dismissDelay{180};
    static constexpr std::chrono::milliseconds focusDelay{150};

    AddCardOverlayContent(DismissSignal &dismissSignal, std::optional<QString> prefilledText,
                          std::function<void()> onDismiss, ConvexClient &client, QObject *parent = nullptr);
    ~AddCardOverlayContent() override;

    Phase phase() const { return m_phase; }
    QString word() const { return m_word; }
    void setWord(const QString &word);
    const QList<TranslationResult> &results() const { return m_results.results(); }
    // The candidates as the list shows them, labelled for the typed word.
    ResultListModel *resultModel() { return &m_results; }
    const std::optional<TranslationResult> &selected() const { return m_selected; }
    bool isSaving() const { return m_isSaving; }
    const std::optional<Deck> &activeDeck() const { return m_activeDeck; }
    const std::optional<QString> &error() const { return m_error; }
    QString errorText() const { return m_error.value_or(QString()); }
    bool hasError() const { return m_error.has_value(); }
    bool isVisible() const { return m_isVisible; }
    QString notice() const { return m_notice; }
    // The deck is fetched once the session has been restored, and Return asks
    // it whether the user is signed in. Without one the user counts as signed in.
    void setSession(Session &session) { m_session = &session; }
    // The selection the opening was asked with; read when the overlay
    // appears. A content may be built before its opening's text is known.
    void setPrefilledText(std::optional<QString> text) { m_prefilledText = std::move(text); }
    // What Return says while signed out, naming the menu item that fixes it.
    static QString signedOutNotice();
    bool inputFocused() const { return m_inputFocused; }
    void setInputFocused(bool focused);

    // What happens when the view is first displayed: animateIn() and the
    // active-deck fetch, started side by side.
    Q_INVOKABLE void appear();
    void animateIn();
    QCoro::Task<void> fetchActiveDeck();

    // Return in the input field.
    Q_INVOKABLE void translate();
    // A click on the result at `index` of the list.
    Q_INVOKABLE void choose(int index);
    // The "ADD" button.
    Q_INVOKABLE void save();
    // A click outside the card, the dismissal signal, or a saved card.
    Q_INVOKABLE void performDismiss();

    // The flow from the keyboard alone: in the results, Up and Down move the
    // highlight (from the first candidate on), Return chooses the highlighted
    // one and Ctrl+1 to Ctrl+9 choose by position; on the card, Return is
    // "ADD". In the input phase the field keeps its keys (Return translates).
    // True when the key was used here.
    bool handleKey(int key, Qt::KeyboardModifiers modifiers);
    int highlightedIndex() const { return m_highlightedIndex; }

    // The text a prefilled selection puts into the field, if it is used at all:
    // trimmed, and only when it holds fewer than seven space-separated pieces.
    static std::optional<QString> prefill(const std::optional<QString> &selection);
    // Trims spaces and tabs (not line breaks) from both ends.
    static QString trimSpacesAndTabs(const QString &text);

Q_SIGNALS:
    void phaseChanged();
    void wordChanged();
    void selectedChanged();
    void isSavingChanged();
    void activeDeckChanged();
    void errorChanged();
    void noticeChanged();
    void isVisibleChanged();
    void inputFocusedChanged();
    void highlightedIndexChanged();

private:
    QCoro::Task<void> runTranslation(QString word, QString langFrom, QString langTo);
    QCoro::Task<void> runSave(Deck deck, TranslationResult result);

    QVariant selectedForView() const;
    QVariant activeDeckForView() const;

    void setPhase(Phase phase);
    void setError(std::optional<QString> error);
    void setIsSaving(bool saving);
    void setIsVisible(bool visible);
    void setResults(QList<TranslationResult> results);
    void setSelected(std::optional<TranslationResult> selected);
    void setActiveDeck(std::optional<Deck> deck);
    void setHighlightedIndex(int index);

    DismissSignal &m_dismissSignal;
    std::optional<QString> m_prefilledText;
    const std::function<void()> m_onDismiss;
    ConvexClient &m_client;

    bool m_isVisible = false;
    QString m_word;
    Phase m_phase = Phase::Input;
    ResultListModel m_results{this};
    std::optional<TranslationResult> m_selected;
    bool m_isSaving = false;
    std::optional<Deck> m_activeDeck;
    std::optional<QString> m_error;
    QPointer<Session> m_session;
    QString m_notice;
    bool m_inputFocused = false;
    int m_highlightedIndex = -1;
};
