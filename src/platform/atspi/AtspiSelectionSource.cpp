#include "platform/atspi/AtspiSelectionSource.h"

#include "platform/Log.h"
#include "platform/WhileAlive.h"
#include "platform/atspi/AtspiFocusTracker.h"
#include "platform/atspi/HypertextSelection.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QUuid>

#include <QCoroDBus>
#include <QCoroTimer>

#include <algorithm>
#include <utility>

namespace {

using ObjectRef = AtspiSelectionSource::ObjectRef;

const QString accessibleInterface = QStringLiteral("org.a11y.atspi.Accessible");
const QString a11yBusService = QStringLiteral("org.a11y.Bus");
const QString a11yBusPath = QStringLiteral("/org/a11y/bus");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString statusInterface = QStringLiteral("org.a11y.Status");
const QString isEnabledProperty = QStringLiteral("IsEnabled");
const QString textInterface = QStringLiteral("org.a11y.atspi.Text");
const QString hypertextInterface = QStringLiteral("org.a11y.atspi.Hypertext");
const QString hyperlinkInterface = QStringLiteral("org.a11y.atspi.Hyperlink");

// Roles (AtspiRole) of objects that flow inside a line of text rather than
// standing as a block: link, static (emphasis, strong), subscript,
// superscript, content deletion and insertion, mark, suggestion.
bool isInlineRole(uint role)
{
    constexpr uint inlineRoles[] = {88, 116, 119, 120, 125, 126, 127, 128};
    return std::find(std::begin(inlineRoles), std::end(inlineRoles), role) != std::end(inlineRoles);
}

// Bits of the AT-SPI state set (AtspiStateType).
constexpr int stateActive = 1;
constexpr int stateDefunct = 6;
constexpr int stateFocused = 12;

QDBusMessage a11yBusCall(const QString &member)
{
    return QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                          QStringLiteral("org.a11y.Bus"), member);
}

bool isReply(const QDBusMessage &message, const char *signature)
{
    return message.type() == QDBusMessage::ReplyMessage && message.signature() == QLatin1String(signature);
}

// One "(so)" structure, read from where the argument stands.
ObjectRef readObjectRef(const QDBusArgument &argument)
{
    ObjectRef ref;
    QDBusObjectPath path;
    argument.beginStructure();
    argument >> ref.service >> path;
    argument.endStructure();
    ref.path = path.path();
    return ref;
}

QList<ObjectRef> objectRefs(const QDBusMessage &reply)
{
    QList<ObjectRef> refs;
    if (!isReply(reply, "a(so)"))
        return refs;
    const QDBusArgument argument = qvariant_cast<QDBusArgument>(reply.arguments().constFirst());
    argument.beginArray();
    while (!argument.atEnd())
        refs.append(readObjectRef(argument));
    argument.endArray();
    return refs;
}

// The object of a "(so)" answer; absent for the null object.
std::optional<ObjectRef> objectRefIn(const QVariant &value)
{
    if (value.userType() != qMetaTypeId<QDBusArgument>())
        return std::nullopt;
    const QDBusArgument argument = qvariant_cast<QDBusArgument>(value);
    if (argument.currentSignature() != QLatin1String("(so)"))
        return std::nullopt;
    const ObjectRef ref = readObjectRef(argument);
    if (ref.service.isEmpty() || ref.path.isEmpty() || ref.path == QLatin1String("/org/a11y/atspi/null"))
        return std::nullopt;
    return ref;
}

std::optional<ObjectRef> objectRefIn(const QDBusMessage &reply)
{
    if (!isReply(reply, "(so)"))
        return std::nullopt;
    return objectRefIn(reply.arguments().constFirst());
}

// The first selection of a GetNSelections and GetSelection(0) pair of
// answers: absent when there is none, or the answers do not say.
std::optional<AccessibleTextTree::Range> firstSelectionIn(const QDBusMessage &count,
                                                          const QDBusMessage &range)
{
    if (!isReply(count, "i") || count.arguments().constFirst().toInt() <= 0 || !isReply(range, "ii"))
        return std::nullopt;
    const int start = range.arguments().at(0).toInt();
    const int end = range.arguments().at(1).toInt();
    if (start < 0 || end < start)
        return std::nullopt;
    return AccessibleTextTree::Range{start, end};
}

// The "trusted" question, sent at once so its answer can come back while
// other calls are under way.
QDBusPendingCall askEnabled(std::chrono::milliseconds timeout)
{
    QDBusMessage get = QDBusMessage::createMethodCall(
        QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QStringLiteral("org.a11y.Status") << QStringLiteral("IsEnabled");
    QDBusConnection session = QDBusConnection::sessionBus();
    if (!session.isConnected())
        return QDBusPendingCall::fromError(QDBusError(QDBusError::Disconnected, QString()));
    return session.asyncCall(get, int(timeout.count()));
}

bool enabledIn(const QDBusMessage &reply)
{
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return false;
    const QVariant value = reply.arguments().constFirst().value<QDBusVariant>().variant();
    return value.metaType() == QMetaType::fromType<bool>() && value.toBool();
}

ObjectRef registry()
{
    return {QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("/org/a11y/atspi/accessible/root")};
}

// The state set of a GetState answer, or absent when the object did not answer.
std::optional<quint64> stateBits(const QDBusMessage &reply)
{
    if (!isReply(reply, "au"))
        return std::nullopt;
    QList<uint> words;
    qvariant_cast<QDBusArgument>(reply.arguments().constFirst()) >> words;
    quint64 bits = 0;
    if (words.size() > 0)
        bits |= words.at(0);
    if (words.size() > 1)
        bits |= quint64(words.at(1)) << 32;
    return bits;
}

// A session (budget and per-call time-out) over one bus connection.
class Walk : public AccessibleTextTree {
public:
    Walk(QDBusConnection bus, const AtspiSelectionSource::Limits &limits, QDeadlineTimer deadline)
        : m_bus(std::move(bus))
        , m_limits(limits)
        , m_deadline(deadline)
    {
    }

    bool expired() const override { return m_deadline.hasExpired(); }
    // Whether an application's window list or state came too late.
    bool unanswered() const { return m_unanswered; }

    // Sends at once; the answer is awaited later, so calls can overlap.
    QDBusPendingCall send(const ObjectRef &object, const QString &interface, const QString &member,
                          const QVariantList &args = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(object.service, object.path, interface, member);
        message.setArguments(args);
        const qint64 left = m_deadline.remainingTime();
        const int timeout = int(std::min<qint64>(m_limits.callTimeout.count(), std::max<qint64>(left, 1)));
        return m_bus.asyncCall(message, timeout);
    }

    QCoro::Task<QDBusMessage> call(const ObjectRef &object, const QString &interface, const QString &member,
                                   const QVariantList &args = {})
    {
        co_return co_await send(object, interface, member, args);
    }

    QCoro::Task<QList<ObjectRef>> children(const ObjectRef &object)
    {
        co_return objectRefs(co_await call(object, accessibleInterface, QStringLiteral("GetChildren")));
    }

    // The state set, or absent when the object did not answer.
    QCoro::Task<std::optional<quint64>> state(const ObjectRef &object)
    {
        co_return stateBits(co_await call(object, accessibleInterface, QStringLiteral("GetState")));
    }

    QCoro::Task<std::optional<uint>> processOf(const QString &service)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetConnectionUnixProcessID"));
        message << service;
        const QDBusMessage reply = co_await m_bus.asyncCall(message, int(m_limits.callTimeout.count()));
        if (!isReply(reply, "u"))
            co_return std::nullopt;
        co_return reply.arguments().constFirst().toUInt();
    }

    // The top-level window whose state says it is active, of any application
    // but `skipped` (the first in the registry's order). Every application's
    // windows are asked for at once, so on a busy machine each application's
    // answer is already there when its turn comes; an application after the
    // active one is never waited for, so a hung one there costs nothing.
    QCoro::Task<std::optional<ObjectRef>> activeWindow(QString skipped = {})
    {
        const QList<ObjectRef> applications = co_await children(registry());
        QList<QDBusPendingCall> windowLists;
        for (const ObjectRef &application : applications) {
            if (application.service != skipped)
                windowLists.append(send(application, accessibleInterface, QStringLiteral("GetChildren")));
        }
        for (const QDBusPendingCall &windowList : windowLists) {
            if (expired())
                break;
            const QList<ObjectRef> windows = objectRefs(noted(co_await windowList));
            QList<QDBusPendingCall> states;
            for (const ObjectRef &window : windows)
                states.append(send(window, accessibleInterface, QStringLiteral("GetState")));
            for (qsizetype i = 0; i < windows.size(); ++i) {
                const auto bits = stateBits(noted(co_await states.at(i)));
                if (bits && (*bits & (1ull << stateActive)) && !(*bits & (1ull << stateDefunct)))
                    co_return windows.at(i);
            }
        }
        co_return std::nullopt;
    }

    // Asks the bus itself, so it answers even while the application is busy;
    // sent at once, the answer awaited later.
    QDBusPendingCall sendHasOwner(const QString &service)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
        message << service;
        return m_bus.asyncCall(message, int(m_limits.callTimeout.count()));
    }

    QCoro::Task<bool> hasOwner(const QString &service) { co_return ownedIn(co_await sendHasOwner(service)); }

    static bool ownedIn(const QDBusMessage &reply)
    {
        return isReply(reply, "b") && reply.arguments().constFirst().toBool();
    }

    // Depth-first search for the focused object, bounded in depth and size.
    QCoro::Task<std::optional<ObjectRef>> findFocused(const ObjectRef &root)
    {
        QList<std::pair<ObjectRef, int>> stack{{root, 0}};
        int visited = 0;
        while (!stack.isEmpty() && visited < m_limits.maxNodes && !expired()) {
            const auto [object, depth] = stack.takeLast();
            ++visited;
            const auto bits = co_await state(object);
            if (!bits || (*bits & (1ull << stateDefunct)))
                continue;
            if (*bits & (1ull << stateFocused))
                co_return object;
            if (depth >= m_limits.maxDepth)
                continue;
            const QList<ObjectRef> kids = co_await children(object);
            for (auto it = kids.crbegin(); it != kids.crend(); ++it)
                stack.append({*it, depth + 1});
        }
        co_return std::nullopt;
    }

    QCoro::Task<std::optional<QString>> text(const ObjectRef &object, int start, int end) override
    {
        // Named: GCC 12 cannot keep a braced list alive across an await.
        const QVariantList bounds{QVariant(start), QVariant(end)};
        const QDBusMessage reply = co_await call(object, textInterface, QStringLiteral("GetText"), bounds);
        if (!isReply(reply, "s"))
            co_return std::nullopt;
        co_return reply.arguments().constFirst().toString();
    }

    // The link at the offset, the link's object, then that object's role and
    // selection in one round trip.
    QCoro::Task<std::optional<Embedded>> embedded(const ObjectRef &parent, int offset) override
    {
        const QVariantList at{QVariant(offset)};
        const QDBusMessage index =
            co_await call(parent, hypertextInterface, QStringLiteral("GetLinkIndex"), at);
        if (!isReply(index, "i") || index.arguments().constFirst().toInt() < 0)
            co_return std::nullopt;
        const QVariantList linkIndex{index.arguments().constFirst()};
        const auto link =
            objectRefIn(co_await call(parent, hypertextInterface, QStringLiteral("GetLink"), linkIndex));
        if (!link || expired())
            co_return std::nullopt;
        const QVariantList firstAnchor{QVariant(0)};
        const auto object =
            objectRefIn(co_await call(*link, hyperlinkInterface, QStringLiteral("GetObject"), firstAnchor));
        if (!object || expired())
            co_return std::nullopt;
        QDBusPendingCall role = send(*object, accessibleInterface, QStringLiteral("GetRole"));
        QDBusPendingCall count = send(*object, textInterface, QStringLiteral("GetNSelections"));
        QDBusPendingCall range = send(*object, textInterface, QStringLiteral("GetSelection"), {QVariant(0)});
        const QDBusMessage roleReply = co_await role;
        const QDBusMessage countReply = co_await count;
        const QDBusMessage rangeReply = co_await range;
        const bool isInline =
            isReply(roleReply, "u") && isInlineRole(roleReply.arguments().constFirst().toUInt());
        co_return Embedded{*object, isInline, firstSelectionIn(countReply, rangeReply)};
    }

    // Whether the object's text may hold embedded objects (it has the
    // Hypertext interface); an object that does not answer is taken to.
    QCoro::Task<bool> holdsObjects(const ObjectRef &object)
    {
        const QDBusMessage reply =
            co_await call(object, accessibleInterface, QStringLiteral("GetInterfaces"));
        co_return !isReply(reply, "as") ||
            reply.arguments().constFirst().toStringList().contains(hypertextInterface);
    }

    // Whether `ancestor` is `object`'s parent, or its parent's, and so on.
    QCoro::Task<bool> isAncestor(const ObjectRef &ancestor, ObjectRef object)
    {
        for (int depth = 0; depth < m_limits.maxDepth && !expired(); ++depth) {
            const QVariantList property{accessibleInterface, QStringLiteral("Parent")};
            const QDBusMessage reply =
                co_await call(object, propertiesInterface, QStringLiteral("Get"), property);
            if (!isReply(reply, "v"))
                co_return false;
            const auto parent = objectRefIn(reply.arguments().constFirst().value<QDBusVariant>().variant());
            if (!parent)
                co_return false;
            if (*parent == ancestor)
                co_return true;
            object = *parent;
        }
        co_return false;
    }

private:
    QDBusMessage noted(QDBusMessage reply)
    {
        if (reply.type() == QDBusMessage::ErrorMessage &&
            (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
             reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.Timeout")))
            m_unanswered = true;
        return reply;
    }

    QDBusConnection m_bus;
    AtspiSelectionSource::Limits m_limits;
    QDeadlineTimer m_deadline;
    bool m_unanswered = false;
};

// The first selection of `object` from the answers to GetNSelections and
// GetSelection(0), and the text in that range, read through the objects
// embedded in it. Only text is ever taken: a range that held nothing but
// embedded objects with nothing readable behind them is for another source.
// `throughObjects`, where given, tells whether embedded objects were read.
QCoro::Task<SelectionSource::Result> selectionFrom(Walk &walk, const ObjectRef &object,
                                                   const QDBusMessage &count, const QDBusMessage &range,
                                                   bool *throughObjects = nullptr)
{
    using Result = SelectionSource::Result;
    if (!isReply(count, "i"))
        co_return Result::unavailable(); // no Text interface: maybe PRIMARY knows
    if (count.arguments().constFirst().toInt() <= 0)
        co_return Result::nothing();
    if (!isReply(range, "ii"))
        co_return Result::unavailable();
    const int start = range.arguments().at(0).toInt();
    const int end = range.arguments().at(1).toInt();
    if (start < 0 || end <= start)
        co_return Result::nothing();
    HypertextSelection hypertext(walk);
    const std::optional<QString> text = co_await hypertext.read(object, {start, end});
    if (throughObjects)
        *throughObjects = hypertext.objectsVisited() > 0;
    if (!text)
        co_return Result::unavailable();
    const QString selected = HypertextSelection::withoutNonText(*text);
    if (selected.trimmed().isEmpty() && selected != *text)
        co_return Result::unavailable();
    if (selected.isEmpty())
        co_return Result::nothing();
    co_return Result::selected(selected);
}

// The first selection of `object`: both questions in one round trip, then the text.
QCoro::Task<SelectionSource::Result> selectionOf(Walk &walk, const ObjectRef &object,
                                                 bool *throughObjects = nullptr)
{
    QDBusPendingCall count = walk.send(object, textInterface, QStringLiteral("GetNSelections"));
    QDBusPendingCall range =
        walk.send(object, textInterface, QStringLiteral("GetSelection"), {QVariant(int(0))});
    const QDBusMessage countReply = co_await count;
    const QDBusMessage rangeReply = co_await range;
    co_return co_await selectionFrom(walk, object, countReply, rangeReply, throughObjects);
}

// The focused object's own answer; where it has nothing selected, the
// selection of the descendant that last reported one (a page keeps the focus
// while the selection is in one of its paragraphs).
QCoro::Task<SelectionSource::Result> orDescendantSelection(Walk &walk, const ObjectRef &focused,
                                                           SelectionSource::Result own,
                                                           std::optional<ObjectRef> reported)
{
    using Result = SelectionSource::Result;
    if (own.status != Result::Status::NothingSelected || !reported || reported->service != focused.service ||
        *reported == focused)
        co_return own;
    if (!co_await walk.isAncestor(focused, *reported))
        co_return own;
    const Result theirs = co_await selectionOf(walk, *reported);
    co_return theirs.status == Result::Status::Selected ? theirs : own;
}

// The object that has the keyboard focus now, found by one walk of the
// active window: focus events tell only of later moves, and an application
// focused before the program started would otherwise wait for the key's
// release at the first press. Works on its own copies, so the source may go
// meanwhile (its connection closes and the calls fail).
QCoro::Task<std::optional<AtspiFocusTracker::Focus>> focusNow(QDBusConnection bus,
                                                              AtspiSelectionSource::Limits limits)
{
    try {
        Walk walk(std::move(bus), limits, QDeadlineTimer(limits.budget));
        const auto window = co_await walk.activeWindow();
        if (!window)
            co_return std::nullopt;
        const auto pid = co_await walk.processOf(window->service);
        if (!pid || *pid == uint(QCoreApplication::applicationPid()))
            co_return std::nullopt;
        const auto focused = co_await walk.findFocused(*window);
        if (!focused)
            co_return std::nullopt;
        co_return AtspiFocusTracker::Focus{focused->service, focused->path, *pid};
    } catch (const std::exception &) {
        co_return std::nullopt;
    }
}

} // namespace

AtspiSelectionSource::AtspiSelectionSource()
    : AtspiSelectionSource(Limits{})
{
}

AtspiSelectionSource::AtspiSelectionSource(Limits limits, FrontProcess frontProcess, QObject *parent)
    : QObject(parent)
    , m_limits(limits)
    , m_frontProcess(std::move(frontProcess))
{
    // Before any question about the state, so no change after an answer
    // goes unheard.
    QDBusConnection::sessionBus().connect(a11yBusService, a11yBusPath, propertiesInterface,
                                          QStringLiteral("PropertiesChanged"), this,
                                          SLOT(onStatusChanged(QString, QVariantMap, QStringList)));
}

AtspiSelectionSource::~AtspiSelectionSource()
{
    QDBusConnection::sessionBus().disconnect(a11yBusService, a11yBusPath, propertiesInterface,
                                             QStringLiteral("PropertiesChanged"), this,
                                             SLOT(onStatusChanged(QString, QVariantMap, QStringList)));
    m_focus.reset();
    if (m_bus)
        QDBusConnection::disconnectFromBus(m_bus->name());
}

QCoro::Task<bool> AtspiSelectionSource::start()
{
    co_return (co_await connection()).has_value();
}

QCoro::Task<bool> AtspiSelectionSource::enableAccessibility(std::chrono::milliseconds timeout)
{
    QDBusConnection session = QDBusConnection::sessionBus();
    if (!session.isConnected())
        co_return false;
    QDBusMessage set = QDBusMessage::createMethodCall(
        QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"));
    set << QStringLiteral("org.a11y.Status") << QStringLiteral("IsEnabled")
        << QVariant::fromValue(QDBusVariant(true));
    const QDBusMessage reply = co_await session.asyncCall(set, int(timeout.count()));
    co_return reply.type() == QDBusMessage::ReplyMessage;
}

QCoro::Task<bool> AtspiSelectionSource::isEnabled(std::chrono::milliseconds timeout)
{
    co_return enabledIn(co_await askEnabled(timeout));
}

QCoro::Task<std::optional<QDBusConnection>> AtspiSelectionSource::connection()
{
    // QCoro 0.8 moves from any lvalue given to co_return: hand it a copy.
    if (m_bus && m_bus->isConnected())
        co_return std::optional<QDBusConnection>(*m_bus);
    QDBusConnection session = QDBusConnection::sessionBus();
    if (!session.isConnected())
        co_return std::nullopt;
    const QDBusMessage reply =
        co_await whileAlive<QDBusMessage>(this, session.asyncCall(a11yBusCall(QStringLiteral("GetAddress")),
                                                                  int(m_limits.callTimeout.count())));
    if (!isReply(reply, "s"))
        co_return std::nullopt;
    const QString address = reply.arguments().constFirst().toString();
    if (address.isEmpty())
        co_return std::nullopt;
    m_focus.reset();
    m_remembered.clear();
    m_changed.clear();
    m_lastSelectionChange.reset();
    if (m_bus)
        QDBusConnection::disconnectFromBus(m_bus->name());
    // A private connection name per source: tests build several.
    const QString name = QStringLiteral("vocarta-a11y-") + QUuid::createUuid().toString(QUuid::Id128);
    QDBusConnection bus = QDBusConnection::connectToBus(address, name);
    if (!bus.isConnected()) {
        QDBusConnection::disconnectFromBus(name);
        co_return std::nullopt;
    }
    m_bus = bus;
    m_focus = std::make_unique<AtspiFocusTracker>(bus);
    connect(m_focus.get(), &AtspiFocusTracker::selectionChanged, this,
            &AtspiSelectionSource::onSelectionChanged);
    connect(m_focus.get(), &AtspiFocusTracker::textChanged, this, &AtspiSelectionSource::onTextChanged);
    // Off the shortcut's path, without waiting for it: a focus event that
    // comes meanwhile is newer and wins.
    AtspiFocusTracker *tracker = m_focus.get();
    QCoro::connect(focusNow(bus, m_limits), tracker,
                   [tracker, before = tracker->recordCount()](std::optional<AtspiFocusTracker::Focus> focus) {
                       if (focus)
                           tracker->learn(*focus, before);
                   });
    co_return std::optional<QDBusConnection>(bus);
}

QCoro::Task<SelectionSource::Result> AtspiSelectionSource::read()
{
    try {
        logTimingStep("atspi: read");
        // Asked while the state is not known to be on; an answer in flight
        // is awaited only after the record's, so the two overlap.
        std::optional<QDBusPendingCall> enabled;
        if (!m_accessibilityOn.value_or(false))
            enabled = askEnabled(m_limits.callTimeout);
        const auto bus = co_await connection();
        logTimingStep(bus ? "atspi: connected" : "atspi: no bus");
        std::optional<Result> result;
        m_lastReadWasRemembered = false;
        if (bus)
            result = co_await readRecord(*bus);
        logTimingStep(result ? "atspi: focus record answered" : "atspi: no usable focus record");
        if (enabled)
            m_accessibilityOn = enabledIn(co_await whileAlive<QDBusMessage>(this, *enabled));
        if (!*m_accessibilityOn || !bus)
            co_return Result::unavailable();
        m_lastReadUsedFocusEvent = result.has_value();
        if (!result)
            m_enabledAtPress.start();
        co_return result ? *result : Result::afterRelease();
    } catch (const std::exception &) {
        co_return Result::unavailable();
    }
}

QCoro::Task<SelectionSource::Result> AtspiSelectionSource::readAfterRelease()
{
    m_lastWalkCount = 0;
    try {
        QElapsedTimer elapsed;
        elapsed.start();
        const QDeadlineTimer deadline(m_limits.budget);
        logTimingStep("atspi: read after release");
        // The read at the press that sent us here has just been told
        // accessibility is on; otherwise ask, and await the answer once the
        // bus is there.
        const bool confirmedAtPress = m_enabledAtPress.isValid() && !m_enabledAtPress.hasExpired(1000);
        m_enabledAtPress.invalidate();
        std::optional<QDBusPendingCall> enabled;
        if (!confirmedAtPress)
            enabled = askEnabled(m_limits.callTimeout);
        const auto bus = co_await connection();
        if (!bus || (enabled && !enabledIn(co_await whileAlive<QDBusMessage>(this, *enabled))))
            co_return Result::unavailable();
        if (const auto result = co_await readRecord(*bus)) {
            m_lastReadUsedFocusEvent = true;
            co_return *result;
        }
        std::optional<bool> worthRetrying;
        for (;;) {
            ++m_lastWalkCount;
            logTimingStep("atspi: walk of the active window");
            Look look;
            const Result result = co_await readOnce(*bus, deadline, look);
            // No window active: looked at again for a while, and while the
            // budget lasts when an application did not answer in time (a busy
            // one may be the one in front).
            const bool lookAgain =
                look.noActiveWindow && !deadline.hasExpired() &&
                (look.unanswered || elapsed.elapsed() < m_limits.activeWindowRetry.count());
            if (!lookAgain)
                co_return result;
            // No application in front that could answer: no second look.
            if (!worthRetrying)
                worthRetrying = co_await frontApplicationKnown(*bus);
            if (!*worthRetrying)
                co_return result;
            co_await whileAlive(this, QCoro::sleepFor(std::chrono::milliseconds(25)));
        }
    } catch (const std::exception &) {
        co_return Result::unavailable();
    }
}

QCoro::Task<std::optional<SelectionSource::Result>> AtspiSelectionSource::readRecord(QDBusConnection bus)
{
    const auto record = m_focus ? m_focus->current() : std::nullopt;
    if (!record)
        co_return std::nullopt;
    const QDeadlineTimer deadline(m_limits.budget);
    Walk walk(bus, m_limits, deadline);
    std::optional<quint32> pid = record->pid;
    if (!pid) {
        pid = co_await whileAlive(this, walk.processOf(record->service));
        if (pid && m_focus)
            m_focus->setProcess(record->service, *pid);
    }
    // Our own windows are never read; the walk tells whether one is active.
    if (!pid || *pid == quint32(QCoreApplication::applicationPid()))
        co_return std::nullopt;
    const ObjectRef object{record->service, record->path};
    // A selection read when it last changed: first one round trip to the bus
    // itself, so that whatever the application reported before this press
    // (a newer selection, another of its windows activated) is heard first.
    // Asked before the display, so the two overlap.
    std::optional<QDBusPendingCall> heard;
    if (m_frontProcess && remembered(object))
        heard = walk.sendHasOwner(object.service);

    // The display's window in front is the authority where there is one:
    // another application there makes the record stale.
    if (m_frontProcess && m_frontProcess() != pid)
        co_return std::nullopt;

    // Taken only where the display vouches for the application in front (the
    // object's own state is not asked) and no other window of it was
    // activated since the focus event.
    if (heard) {
        const bool owned = Walk::ownedIn(co_await whileAlive<QDBusMessage>(this, *heard));
        const auto now = m_focus ? m_focus->current() : std::nullopt;
        if (owned && now && now->service == object.service && now->path == object.path &&
            !now->windowActivatedSince) {
            if (std::optional<Result> known = remembered(object)) {
                m_lastReadWasRemembered = true;
                logTimingStep("atspi: selection as read when it changed");
                co_return known;
            }
        }
    }

    // One round trip for the three questions; the application answers them in order.
    QDBusPendingCall state = walk.send(object, accessibleInterface, QStringLiteral("GetState"));
    QDBusPendingCall count = walk.send(object, textInterface, QStringLiteral("GetNSelections"));
    QDBusPendingCall range =
        walk.send(object, textInterface, QStringLiteral("GetSelection"), {QVariant(int(0))});
    const auto bits = stateBits(co_await whileAlive<QDBusMessage>(this, state));
    const QDBusMessage countReply = co_await whileAlive<QDBusMessage>(this, count);
    const QDBusMessage rangeReply = co_await whileAlive<QDBusMessage>(this, range);
    if (!bits || (*bits & (1ull << stateDefunct)))
        co_return std::nullopt;
    // Only an object that still holds the focus, unless the display says its
    // application is in front and none of its windows was activated since
    // (GTK drops the focus while the shortcut's grab holds the keyboard).
    if (!(*bits & (1ull << stateFocused)) && (!m_frontProcess || record->windowActivatedSince))
        co_return std::nullopt;
    const Result own = co_await whileAlive(this, selectionFrom(walk, object, countReply, rangeReply));
    co_return co_await whileAlive(this, orDescendantSelection(walk, object, own, m_lastSelectionChange));
}

QCoro::Task<bool> AtspiSelectionSource::frontApplicationKnown(QDBusConnection bus)
{
    const auto record = m_focus ? m_focus->current() : std::nullopt;
    if (!m_frontProcess) {
        // Only the last focus event can tell, and not when it came from an
        // application that has quit since. When it came from one of our own
        // windows, that window has closed since (the reader asks the toolkit
        // first), and the window under it takes the focus in a moment.
        if (!record || record->lost)
            co_return false;
        if (record->pid == quint32(QCoreApplication::applicationPid()))
            co_return true;
        Walk walk(bus, m_limits, QDeadlineTimer(m_limits.budget));
        co_return co_await whileAlive(this, walk.hasOwner(record->service));
    }
    const auto front = m_frontProcess();
    if (!front)
        co_return false;
    if (record && record->pid == front)
        co_return true;
    // Whether the application in front is on the accessibility bus at all.
    Walk walk(bus, m_limits, QDeadlineTimer(m_limits.budget));
    const QList<ObjectRef> applications = co_await whileAlive(this, walk.children(registry()));
    for (const ObjectRef &application : applications) {
        if (walk.expired())
            break;
        if (co_await whileAlive(this, walk.processOf(application.service)) == front)
            co_return true;
    }
    co_return false;
}

QCoro::Task<SelectionSource::Result> AtspiSelectionSource::readOnce(QDBusConnection bus,
                                                                    QDeadlineTimer deadline, Look &look)
{
    Walk walk(bus, m_limits, deadline);
    const uint ownPid = uint(QCoreApplication::applicationPid());

    // What a focus event brings meanwhile is newer than what this walk finds.
    const quint64 recordsBefore = m_focus ? m_focus->recordCount() : 0;
    // The application whose top-level window is active. None of our windows
    // is in front (the reader has asked the toolkit), but one just closed
    // can still say it is active until the focus change reaches it: another
    // application's window is looked for then.
    std::optional<ObjectRef> activeWindow = co_await whileAlive(this, walk.activeWindow());
    std::optional<uint> pid;
    if (activeWindow)
        pid = co_await whileAlive(this, walk.processOf(activeWindow->service));
    if (activeWindow && pid == ownPid) {
        const QString ours = activeWindow->service;
        activeWindow = co_await whileAlive(this, walk.activeWindow(ours));
        pid.reset();
        if (activeWindow)
            pid = co_await whileAlive(this, walk.processOf(activeWindow->service));
    }
    look.unanswered = walk.unanswered();
    if (!activeWindow) {
        look.noActiveWindow = true;
        co_return Result::unavailable();
    }

    // The object that last reported the focus, if it is in that application
    // and still focused; else a walk of the active window.
    std::optional<ObjectRef> focused;
    const auto reported = m_focus ? m_focus->current() : std::nullopt;
    if (reported && reported->service == activeWindow->service) {
        const ObjectRef candidate{reported->service, reported->path};
        const auto bits = co_await whileAlive(this, walk.state(candidate));
        if (bits && (*bits & (1ull << stateFocused)) && !(*bits & (1ull << stateDefunct)))
            focused = candidate;
    }
    m_lastReadUsedFocusEvent = focused.has_value();
    if (!focused) {
        focused = co_await whileAlive(this, walk.findFocused(*activeWindow));
        // The focus event that would have named it was lost (an application
        // focused before it heard that anyone listens): the next press reads
        // this object at once instead of waiting for the release again.
        if (focused && pid && m_focus)
            m_focus->learn({focused->service, focused->path, *pid}, recordsBefore);
    }
    if (!focused)
        co_return Result::unavailable();

    const Result own = co_await whileAlive(this, selectionOf(walk, *focused));
    co_return co_await whileAlive(this, orDescendantSelection(walk, *focused, own, m_lastSelectionChange));
}

std::optional<SelectionSource::Result> AtspiSelectionSource::remembered(const ObjectRef &object) const
{
    if (m_reading == object || m_changed.contains(object))
        return std::nullopt;
    for (const Remembered &entry : m_remembered) {
        if (entry.object == object)
            return entry.result;
    }
    return std::nullopt;
}

bool AtspiSelectionSource::isRemembered(const ObjectRef &object) const
{
    return std::any_of(m_remembered.cbegin(), m_remembered.cend(),
                       [&](const Remembered &entry) { return entry.object == object; });
}

void AtspiSelectionSource::onTextChanged(const QString &service, const QString &path)
{
    // Only for what was read: typing anywhere else on the desktop costs nothing.
    const ObjectRef object{service, path};
    if (m_reading == object || isRemembered(object))
        onSelectionChanged(service, path);
}

void AtspiSelectionSource::onSelectionChanged(const QString &service, const QString &path)
{
    const ObjectRef object{service, path};
    m_lastSelectionChange = object;
    // Every object of that application: some toolkits report the change on
    // another object than the one that has the focus.
    m_remembered.removeIf([&](const Remembered &entry) { return entry.object.service == service; });
    if (m_reading == object)
        m_readingChanged = true;
    if (!m_changed.contains(object))
        m_changed.append(object);
    // Bounded whatever the applications send.
    constexpr qsizetype maxChanged = 16;
    if (m_changed.size() > maxChanged)
        m_changed.removeFirst();
    if (!m_reading)
        QCoro::connect(followSelections(), this, [] {});
}

QCoro::Task<void> AtspiSelectionSource::followSelections()
{
    // One read at a time: a selection dragged across a word reports every
    // step, and only the last one matters.
    constexpr qsizetype maxRemembered = 8;
    try {
        while (!m_changed.isEmpty() && m_bus) {
            const ObjectRef object = m_changed.takeFirst();
            m_reading = object;
            m_readingChanged = false;
            logTimingStep("atspi: reading a changed selection");
            Walk walk(*m_bus, m_limits, QDeadlineTimer(m_limits.budget));
            bool throughObjects = false;
            const Result result = co_await whileAlive(this, selectionOf(walk, object, &throughObjects));
            // What is read through a page's children is asked again at the
            // press: they change their selections without the page
            // reporting again. So is a page's "nothing selected": a browser
            // reports the change before its tree shows it.
            const bool askAgain = throughObjects || (result.status == Result::Status::NothingSelected &&
                                                     co_await whileAlive(this, walk.holdsObjects(object)));
            m_reading.reset();
            // Changed again meanwhile: it is read once more instead.
            if (m_readingChanged || result.status == Result::Status::Unavailable || askAgain)
                continue;
            m_remembered.prepend({object, result});
            if (m_remembered.size() > maxRemembered)
                m_remembered.removeLast();
        }
    } catch (const std::exception &) {
        m_remembered.clear();
    }
    m_reading.reset();
}

void AtspiSelectionSource::onStatusChanged(const QString &interface, const QVariantMap &changed,
                                           const QStringList &invalidated)
{
    if (interface != statusInterface)
        return;
    const QVariant value = changed.value(isEnabledProperty);
    if (value.metaType() == QMetaType::fromType<bool>())
        m_accessibilityOn = value.toBool();
    else if (invalidated.contains(isEnabledProperty))
        m_accessibilityOn.reset();
    else
        return;
    // Applications stop reporting while it is off: what was read before may
    // have changed unheard.
    m_remembered.clear();
}
