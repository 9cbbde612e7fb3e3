#include "firstrun/LinkCodeModel.h"

#include "auth/Session.h"

#include <QTextBoundaryFinder>

LinkCodeModel::LinkCodeModel(QObject *parent)
    : QObject(parent)
    , m_chars(boxCount, QString())
{
}

void LinkCodeModel::setAuth(Session *auth)
{
    if (m_auth == auth)
        return;
    if (m_auth)
        disconnect(m_auth, nullptr, this, nullptr);
    m_auth = auth;
    if (m_auth) {
        QObject::connect(m_auth, &Session::isAuthenticatedChanged, this, &LinkCodeModel::onAuthStateChanged);
        QObject::connect(m_auth, &Session::isLoadingChanged, this, &LinkCodeModel::onAuthStateChanged);
        QObject::connect(m_auth, &Session::errorChanged, this, &LinkCodeModel::onAuthStateChanged);
    }
    m_lastAuthenticated = isAuthenticated();
    Q_EMIT authChanged();
    Q_EMIT authStateChanged();
    emitIfCanConnectChanged();
}

bool LinkCodeModel::isAuthenticated() const
{
    return m_auth && m_auth->isAuthenticated();
}

bool LinkCodeModel::isLoading() const
{
    return m_auth && m_auth->isLoading();
}

QString LinkCodeModel::error() const
{
    return m_auth ? m_auth->errorText() : QString();
}

void LinkCodeModel::onAuthStateChanged()
{
    const bool authenticated = isAuthenticated();
    Q_EMIT authStateChanged();
    emitIfCanConnectChanged();
    if (authenticated != m_lastAuthenticated) {
        m_lastAuthenticated = authenticated;
        // A link closes the code entry and opens the shortcut; a sign-out reverses it.
        setExpanded(!authenticated, authenticated, authChangeDuration);
    }
}

void LinkCodeModel::setFocusedIndex(int index)
{
    if (index < noFocus || index >= boxCount)
        index = noFocus;
    if (m_focusedIndex == index)
        return;
    m_focusedIndex = index;
    Q_EMIT focusedIndexChanged();
}

void LinkCodeModel::setSuppress(bool on)
{
    if (m_suppressOnChange == on)
        return;
    m_suppressOnChange = on;
    Q_EMIT suppressOnChangeChanged();
}

void LinkCodeModel::setExpanded(bool connectOpen, bool shortcutOpen, int duration)
{
    if (m_expansionDuration != duration) {
        m_expansionDuration = duration;
        Q_EMIT expansionDurationChanged();
    }
    if (m_connectExpanded != connectOpen) {
        m_connectExpanded = connectOpen;
        Q_EMIT connectExpandedChanged();
    }
    if (m_shortcutExpanded != shortcutOpen) {
        m_shortcutExpanded = shortcutOpen;
        Q_EMIT shortcutExpandedChanged();
    }
}

void LinkCodeModel::emitIfCanConnectChanged()
{
    const bool now = canConnect();
    if (now != m_lastCanConnect) {
        m_lastCanConnect = now;
        Q_EMIT canConnectChanged();
    }
}

QStringList LinkCodeModel::cleanCharacters(const QString &text)
{
    // Upper-casing may lengthen the text (ß becomes SS); filtering works on
    // whole user-perceived characters so a letter with a combining accent stays one box.
    const QString upper = text.toUpper();
    QStringList kept;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, upper);
    qsizetype start = 0;
    for (qsizetype end = finder.toNextBoundary(); end != -1; end = finder.toNextBoundary()) {
        if (end <= start)
            continue;
        const QString cluster = upper.mid(start, end - start);
        start = end;
        const char32_t first = cluster.at(0).isHighSurrogate() && cluster.size() > 1
                                   ? QChar::surrogateToUcs4(cluster.at(0), cluster.at(1))
                                   : char32_t(cluster.at(0).unicode());
        if (QChar::isLetterOrNumber(first))
            kept.append(cluster);
    }
    return kept;
}

QString LinkCodeModel::formattedCode() const
{
    const QString joined = m_chars.join(QString());
    const QStringList characters = cleanCharacters(joined);
    if (characters.size() == boxCount && characters.join(QString()) == joined)
        return characters.mid(0, 4).join(QString()) + QLatin1Char('-') + characters.mid(4).join(QString());
    return joined;
}

bool LinkCodeModel::allFilled() const
{
    for (const QString &c : m_chars) {
        if (c.isEmpty())
            return false;
    }
    return true;
}

void LinkCodeModel::writeBox(int index, const QString &value)
{
    if (m_chars.at(index) == value)
        return;
    m_chars[index] = value;
    Q_EMIT charsChanged();
    emitIfCanConnectChanged();
    runChangeRule(index, value);
}

void LinkCodeModel::changeText(int index, const QString &content)
{
    if (index < 0 || index >= boxCount)
        return;
    writeBox(index, content);
}

void LinkCodeModel::runChangeRule(int index, const QString &content)
{
    if (m_suppressOnChange) {
        setSuppress(false);
        return;
    }
    const QStringList clean = cleanCharacters(content);
    if (clean.size() == 1) {
        writeBox(index, clean.first());
        if (index < boxCount - 1)
            setFocusedIndex(index + 1);
        return;
    }
    if (clean.isEmpty()) {
        writeBox(index, QString());
        if (index > 0)
            setFocusedIndex(index - 1);
        return;
    }
    const int written = int(std::min<qsizetype>(clean.size(), boxCount - index));
    for (int k = 0; k < written; ++k)
        writeBox(index + k, clean.at(k));
    setFocusedIndex(std::min(index + written, boxCount - 1));
}

void LinkCodeModel::tapBox(int index)
{
    if (index < 0 || index >= boxCount)
        return;
    if (!m_chars.at(index).isEmpty()) {
        setSuppress(true);
        writeBox(index, QString());
    }
    setFocusedIndex(index);
}

void LinkCodeModel::toggleConnect()
{
    setExpanded(!m_connectExpanded, m_shortcutExpanded, toggleDuration);
}

void LinkCodeModel::toggleShortcut()
{
    setExpanded(m_connectExpanded, !m_shortcutExpanded, toggleDuration);
}

void LinkCodeModel::shown()
{
    if (isAuthenticated())
        setExpanded(false, true, 0);
    setFocusedIndex(0);
}

void LinkCodeModel::connect()
{
    // The button is disabled in these cases; a stray call must not send a partial code.
    if (!m_auth || !canConnect())
        return;
    m_auth->signInWithLinkCode(formattedCode());
}

void LinkCodeModel::relink()
{
    if (m_auth)
        m_auth->signOut();
    // Emptied directly, without the change rule, so focus stays where it is.
    if (!m_chars.join(QString()).isEmpty()) {
        m_chars = QStringList(boxCount, QString());
        Q_EMIT charsChanged();
        emitIfCanConnectChanged();
    }
}
