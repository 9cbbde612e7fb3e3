#include "overlay/AddCardOverlayContent.h"

#include "backend/ConvexClient.h"
#include "backend/Failure.h"
#include "overlay/DismissSignal.h"
#include "platform/WhileAlive.h"
#include "tray/TrayMenu.h"

#include <QTimer>

#include <algorithm>

namespace {
bool isSpaceOrTab(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}
} // namespace

AddCardOverlayContent::AddCardOverlayContent(DismissSignal &dismissSignal,
                                             std::optional<QString> prefilledText,
                                             std::function<void()> onDismiss, ConvexClient &client,
                                             QObject *parent)
    : QObject(parent)
    , m_dismissSignal(dismissSignal)
    , m_prefilledText(std::move(prefilledText))
    , m_onDismiss(std::move(onDismiss))
    , m_client(client)
{
    connect(&m_dismissSignal, &DismissSignal::triggeredChanged, this, [this](bool triggered) {
        if (triggered)
            performDismiss();
    });
}

AddCardOverlayContent::~AddCardOverlayContent() = default;

std::optional<QString> AddCardOverlayContent::prefill(const std::optional<QString> &selection)
{
    if (!selection)
        return std::nullopt;
    const QString trimmed = selection->trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    // Only the space character separates words here: a selection with tabs
    // or line breaks inside counts those parts as one word.
    const auto pieces = trimmed.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (pieces.size() >= 7)
        return std::nullopt;
    return trimmed;
}

QString AddCardOverlayContent::signedOutNotice()
{
    //: Shown in the overlay; %1 is the tray menu's item that links this computer ("Sign In...").
    return tr("Not signed in — choose “%1” in the menu.").arg(TrayMenu::signInItemText());
}

QString AddCardOverlayContent::trimSpacesAndTabs(const QString &text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && isSpaceOrTab(text.at(start)))
        ++start;
    while (end > start && isSpaceOrTab(text.at(end - 1)))
        --end;
    return text.mid(start, end - start);
}

void AddCardOverlayContent::setWord(const QString &word)
{
    if (word == m_word)
        return;
    m_word = word;
    m_results.setTypedWord(trimSpacesAndTabs(word));
    Q_EMIT wordChanged();
}

void AddCardOverlayContent::setInputFocused(bool focused)
{
    if (focused == m_inputFocused)
        return;
    m_inputFocused = focused;
    Q_EMIT inputFocusedChanged();
}

void AddCardOverlayContent::appear()
{
    animateIn();
    fetchActiveDeck();
}

void AddCardOverlayContent::animateIn()
{
    setIsVisible(true);
    if (const auto text = prefill(m_prefilledText))
        setWord(*text);
    QTimer::singleShot(focusDelay, this, [this] { setInputFocused(true); });
}

QCoro::Task<void> AddCardOverlayContent::fetchActiveDeck()
{
    // Until the keyring has answered the client holds no token: the request
    // would fail although the user may well be signed in.
    if (m_session && !m_session->isRestored())
        co_await whileAlive(this, m_session->untilRestored());
    std::optional<Deck> deck;
    try {
        deck = co_await whileAlive(this, m_client.getActiveDeck());
    } catch (const std::exception &) {
        // No deck, not signed in, offline: the overlay simply cannot translate
        // or save, and says nothing about it.
        deck.reset();
    }
    setActiveDeck(std::move(deck));
}

void AddCardOverlayContent::translate()
{
    // Return only exists in the input field; anything else asking for a
    // translation meanwhile (a request is running, a card is chosen) is late.
    if (m_phase != Phase::Input)
        return;
    // Signed out there is no deck and never will be in this opening; silence
    // would look like a broken key. Before the session is restored that is
    // not known yet: the deck is on its way as on any opening.
    if (m_session && m_session->isRestored() && !m_session->isAuthenticated()) {
        if (m_notice.isEmpty()) {
            m_notice = signedOutNotice();
            Q_EMIT noticeChanged();
        }
        return;
    }
    if (!m_activeDeck)
        return;
    const QString text = trimSpacesAndTabs(m_word);
    if (text.isEmpty())
        return;
    setPhase(Phase::Loading);
    setError(std::nullopt);
    runTranslation(text, m_activeDeck->langFrom, m_activeDeck->langTo);
}

QCoro::Task<void> AddCardOverlayContent::runTranslation(QString word, QString langFrom, QString langTo)
{
    try {
        QList<TranslationResult> found =
            co_await whileAlive(this, m_client.translateWord(word, langFrom, langTo));
        setResults(std::move(found));
        setPhase(Phase::Results);
    } catch (const std::exception &failure) {
        setError(describe(failure));
        setPhase(Phase::Input);
    }
}

void AddCardOverlayContent::choose(int index)
{
    if (index < 0 || index >= results().size())
        return;
    setSelected(results().at(index));
    setPhase(Phase::Selected);
}

void AddCardOverlayContent::save()
{
    if (!m_activeDeck || !m_selected)
        return;
    // The button is disabled while saving; a click that still gets here must
    // not send the card twice.
    if (m_isSaving)
        return;
    setIsSaving(true);
    setError(std::nullopt);
    runSave(*m_activeDeck, *m_selected);
}

QCoro::Task<void> AddCardOverlayContent::runSave(Deck deck, TranslationResult result)
{
    try {
        co_await whileAlive(this, m_client.createCard(deck._id, result.word, result.translation,
                                                      result.phonetic, result.exampleSentence,
                                                      result.exampleSentenceTranslation, result.category));
        // isSaving stays set: the overlay is going away.
        performDismiss();
    } catch (const std::exception &failure) {
        setError(describe(failure));
        setIsSaving(false);
    }
}

void AddCardOverlayContent::performDismiss()
{
    setIsVisible(false);
    // Each request schedules its own call; the host copes with a second one.
    QTimer::singleShot(dismissDelay, this, [this] {
        if (m_onDismiss)
            m_onDismiss();
    });
}

bool AddCardOverlayContent::handleKey(int key, Qt::KeyboardModifiers modifiers)
{
    const bool control = modifiers & Qt::ControlModifier;
    const bool submit = key == Qt::Key_Return || key == Qt::Key_Enter;
    switch (m_phase) {
    case Phase::Input:
    case Phase::Loading:
        return false;
    case Phase::Results:
        if (key == Qt::Key_Down || key == Qt::Key_Up) {
            if (results().isEmpty())
                return true;
            const int step = key == Qt::Key_Down ? 1 : -1;
            const int next = m_highlightedIndex < 0 ? 0 : m_highlightedIndex + step;
            setHighlightedIndex(std::clamp(next, 0, int(results().size()) - 1));
            return true;
        }
        if (submit) {
            if (m_highlightedIndex >= 0)
                choose(m_highlightedIndex);
            return true;
        }
        if (control && key >= Qt::Key_1 && key <= Qt::Key_9) {
            choose(key - Qt::Key_1);
            return true;
        }
        return false;
    case Phase::Selected:
        if (submit) {
            save();
            return true;
        }
        return false;
    }
    return false;
}

QVariant AddCardOverlayContent::selectedForView() const
{
    return m_selected ? QVariant::fromValue(*m_selected) : QVariant();
}

QVariant AddCardOverlayContent::activeDeckForView() const
{
    return m_activeDeck ? QVariant::fromValue(*m_activeDeck) : QVariant();
}

void AddCardOverlayContent::setPhase(Phase phase)
{
    if (phase == m_phase)
        return;
    m_phase = phase;
    // A highlight belongs to the one list it was moved through.
    setHighlightedIndex(-1);
    Q_EMIT phaseChanged();
}

void AddCardOverlayContent::setHighlightedIndex(int index)
{
    if (index == m_highlightedIndex)
        return;
    m_highlightedIndex = index;
    Q_EMIT highlightedIndexChanged();
}

void AddCardOverlayContent::setError(std::optional<QString> error)
{
    if (error == m_error)
        return;
    m_error = std::move(error);
    Q_EMIT errorChanged();
}

void AddCardOverlayContent::setIsSaving(bool saving)
{
    if (saving == m_isSaving)
        return;
    m_isSaving = saving;
    Q_EMIT isSavingChanged();
}

void AddCardOverlayContent::setIsVisible(bool visible)
{
    if (visible == m_isVisible)
        return;
    m_isVisible = visible;
    Q_EMIT isVisibleChanged();
}

void AddCardOverlayContent::setResults(QList<TranslationResult> results)
{
    m_results.setResults(std::move(results));
}

void AddCardOverlayContent::setSelected(std::optional<TranslationResult> selected)
{
    m_selected = std::move(selected);
    Q_EMIT selectedChanged();
}

void AddCardOverlayContent::setActiveDeck(std::optional<Deck> deck)
{
    if (deck == m_activeDeck)
        return;
    m_activeDeck = std::move(deck);
    Q_EMIT activeDeckChanged();
}
