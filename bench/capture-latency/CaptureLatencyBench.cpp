// Measures how quickly the add-card overlay answers the global shortcut, in
// the session it runs in (Xvfb + openbox under scripts/with-session):
//   (a) key press -> overlay window exposed (mapped),
//   (b) -> the text field has the keyboard focus,
//   (c) -> the first frame with the prefilled word is swapped,
// for the very first trigger after start, then for N runs after a warm-up,
// and the same for a bare pre-created full-screen Qt Quick window shown on a
// key grab (the floor). Then idle memory and CPU. The press is injected with
// XTest; the selection step is replaced by a fixed word so the figures are
// the overlay's own.
//
// The first key XTest sends in a session switches the server's core keyboard
// to the XTest device: every client, the window manager included, reloads its
// keymap, and openbox re-grabs its bindings, which holds up the next map by
// about 20 ms. A person's keyboard has been typed on before the shortcut, so
// by default one Shift tap goes first; --cold-keyboard leaves it out to show
// what that switch costs.
//   bench_capture_latency [runs] [--cold-keyboard]   (QT_QUICK_BACKEND=software for that renderer)
#include "FakeDeployment.h"
#include "FakeSession.h"
#include "XTestKeyboard.h"

#include "app/Fonts.h"
#include "backend/ConvexClient.h"
#include "capture/KeyCombo.h"
#include "capture/ShortcutManager.h"
#include "overlay/AddCardOverlayContent.h"
#include "overlay/AddCardPanelController.h"
#include "platform/OverlayWindowHints.h"
#include "platform/x11/X11HotKeyService.h"
#include "qml/ViewEngine.h"

#include <QApplication>
#include <QFile>
#include <QJsonObject>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>
#include <QTimer>

#include <QCoroSignal>
#include <QCoroTask>
#include <QCoroTimer>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <vector>

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {
double msSince(Clock::time_point start, Clock::time_point end)
{
    return std::chrono::duration<double, std::milli>(end - start).count();
}

struct Sample {
    double mapped = -1;
    double focused = -1;
    double painted = -1;
};

// Watches one window for the three moments of a run.
class Watcher : public QObject {
public:
    Watcher(QQuickWindow *window, XTestKeyboard &keyboard, std::function<bool()> painted,
            std::function<bool()> focused)
        : m_window(window)
        , m_keyboard(keyboard)
        , m_isPainted(std::move(painted))
        , m_isFocused(std::move(focused))
    {
        window->installEventFilter(this);
        // Focus is read from the X server (Qt may still believe an earlier
        // focus), polled while a run is on.
        m_poll.setTimerType(Qt::PreciseTimer);
        m_poll.setInterval(1);
        connect(&m_poll, &QTimer::timeout, this, [this] { checkFocus(); });
        connect(window, &QQuickWindow::frameSwapped, this, [this] {
            if (m_armed && m_sample.painted < 0 && m_window->isExposed() && m_isPainted())
                m_sample.painted = msSince(m_start, Clock::now());
        });
        connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, [this] { checkFocus(); });
        connect(window, &QQuickWindow::activeFocusItemChanged, this, [this] { checkFocus(); });
    }
    void arm(Clock::time_point start)
    {
        m_start = start;
        m_sample = {};
        m_armed = true;
        m_poll.start();
    }
    bool complete() const { return m_sample.mapped >= 0 && m_sample.focused >= 0 && m_sample.painted >= 0; }
    Sample take()
    {
        m_armed = false;
        m_poll.stop();
        return m_sample;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (m_armed && watched == m_window && event->type() == QEvent::Expose && m_sample.mapped < 0 &&
            m_window->isVisible())
            m_sample.mapped = msSince(m_start, Clock::now());
        return false;
    }

private:
    void checkFocus()
    {
        if (m_armed && m_sample.focused < 0 && m_window->isVisible() &&
            m_keyboard.inputFocus() == m_window->winId() && QGuiApplication::focusWindow() == m_window &&
            m_isFocused())
            m_sample.focused = msSince(m_start, Clock::now());
    }

    QQuickWindow *m_window;
    XTestKeyboard &m_keyboard;
    QTimer m_poll;
    std::function<bool()> m_isPainted;
    std::function<bool()> m_isFocused;
    Clock::time_point m_start;
    Sample m_sample;
    bool m_armed = false;
};

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    const double rank = p * double(values.size() - 1);
    const size_t low = size_t(rank);
    const size_t high = std::min(values.size() - 1, low + 1);
    return values[low] + (values[high] - values[low]) * (rank - double(low));
}

void printSeries(const char *label, const std::vector<Sample> &samples)
{
    std::vector<double> mapped, focused, painted;
    int incomplete = 0;
    for (const Sample &s : samples) {
        if (s.mapped < 0 || s.focused < 0 || s.painted < 0) {
            ++incomplete;
            continue;
        }
        mapped.push_back(s.mapped);
        focused.push_back(s.focused);
        painted.push_back(s.painted);
    }
    std::printf("%-28s runs %3zu  mapped %6.1f [%6.1f]  focus %6.1f [%6.1f]  painted %6.1f [%6.1f] ms"
                "  (median [p95])%s\n",
                label, mapped.size(), percentile(mapped, 0.5), percentile(mapped, 0.95),
                percentile(focused, 0.5), percentile(focused, 0.95), percentile(painted, 0.5),
                percentile(painted, 0.95),
                incomplete ? qPrintable(QStringLiteral("  incomplete %1").arg(incomplete)) : "");
}

long rssKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

double cpuSeconds()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    // utime and stime are fields 14 and 15 of the whole line (11 and 12 here).
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
}

QCoro::Task<void> waitUntil(std::function<bool()> condition, std::chrono::milliseconds limit)
{
    const auto end = Clock::now() + limit;
    while (!condition() && Clock::now() < end)
        co_await QCoro::sleepFor(1ms);
}

struct Bench {
    XTestKeyboard keyboard;
    FakeDeployment fake;
    std::unique_ptr<ConvexClient> client;
    FakeSession session;
    std::unique_ptr<AddCardPanelController> panel;
    X11HotKeyService overlayKeys;
    std::unique_ptr<ShortcutManager> shortcuts;
    X11HotKeyService bareKeys;
    std::unique_ptr<OverlayWindowHints> hints = OverlayWindowHints::create();
    QQuickWindow bare;
    int runs = 40;
    bool coldKeyboard = false;

    QCoro::Task<Sample> runOverlayOnce(Watcher &watcher)
    {
        const auto start = Clock::now();
        double activatedAt = -1;
        double openedAt = -1;
        auto a = QObject::connect(&overlayKeys, &HotKeyService::activated,
                                  [&] { activatedAt = msSince(start, Clock::now()); });
        auto o = QObject::connect(panel.get(), &AddCardPanelController::opened,
                                  [&] { openedAt = msSince(start, Clock::now()); });
        watcher.arm(start);
        double maxGap = 0;
        auto lastTick = Clock::now();
        QTimer gapTimer;
        gapTimer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&gapTimer, &QTimer::timeout, [&] {
            const auto now = Clock::now();
            maxGap = std::max(maxGap, msSince(lastTick, now));
            lastTick = now;
        });
        if (qEnvironmentVariableIsSet("BENCH_VERBOSE"))
            gapTimer.start(1);
        keyboard.pressCtrlAlt('k');
        keyboard.releaseCtrlAlt('k');
        co_await waitUntil([&] { return watcher.complete(); }, 5s);
        const Sample sample = watcher.take();
        QObject::disconnect(a);
        QObject::disconnect(o);
        if (qEnvironmentVariableIsSet("BENCH_VERBOSE"))
            std::printf("  overlay run: longest stall %.1f hot key %.1f show %.1f mapped %.1f focus %.1f "
                        "painted %.1f\n",
                        maxGap, activatedAt, openedAt, sample.mapped, sample.focused, sample.painted);
        co_await QCoro::sleepFor(250ms); // let the entrance settle, as a person would read it
        panel->hidePanel();
        co_await waitUntil([&] { return hints->isWithdrawn(*panel->window()); }, 2s);
        co_await QCoro::sleepFor(50ms);
        co_return sample;
    }

    QCoro::Task<Sample> runBareOnce(Watcher &watcher)
    {
        watcher.arm(Clock::now());
        keyboard.pressCtrlAlt('j');
        keyboard.releaseCtrlAlt('j');
        co_await waitUntil([&] { return watcher.complete(); }, 5s);
        const Sample sample = watcher.take();
        co_await QCoro::sleepFor(250ms);
        bare.hide();
        co_await waitUntil([&] { return hints->isWithdrawn(bare); }, 2s);
        co_await QCoro::sleepFor(50ms);
        co_return sample;
    }

    QCoro::Task<int> run()
    {
        if (!keyboard.ok() || !X11HotKeyService::isAvailable()) {
            std::fprintf(stderr, "needs an X11 session (run inside scripts/with-session)\n");
            co_return 1;
        }
        fake.answer("decks:getActiveDeck",
                    FakeDeployment::Answer::success(QJsonObject{
                        {"_id", "d1"}, {"name", "Swedish"}, {"langFrom", "en"}, {"langTo", "sv"}}));
        client = std::make_unique<ConvexClient>(fake.url());
        client->setTokens(QStringLiteral("t"), QStringLiteral("r"));
        session.finishRestore(true);
        panel = std::make_unique<AddCardPanelController>(ViewEngine::shared(), *client, session);
        shortcuts = std::make_unique<ShortcutManager>(
            overlayKeys, []() -> QCoro::Task<std::optional<QString>> { co_return QStringLiteral("house"); },
            [this](std::optional<QString> text) { panel->show(std::move(text)); });
        shortcuts->setReleaseWait(1000ms);

        // The floor: a bare full-screen window with one line of text.
        QQuickWindow::setDefaultAlphaBuffer(true);
        bare.setFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
        bare.setColor(Qt::transparent);
        auto *text = new QQuickItem(bare.contentItem());
        text->setFlag(QQuickItem::ItemIsFocusScope);
        text->setFocus(true);
        bare.create();
        QObject::connect(&bareKeys, &HotKeyService::activated, &bare, [this] {
            QScreen *screen = hints->focusedScreen();
            bare.setGeometry(screen->geometry());
            hints->prepareForShow(bare);
            bare.show();
            hints->activate(bare);
        });

        const auto started = Clock::now();
        panel->warmUp();
        co_await waitUntil([&] { return !panel->window()->isVisible(); }, 5s);
        const double warmUpMs = msSince(started, Clock::now());
        if (!coldKeyboard) {
            keyboard.tapShift();
            co_await QCoro::sleepFor(300ms);
        }

        shortcuts->set(KeyCombo(40, KeyCombo::ControlFlag | KeyCombo::OptionFlag)); // ctrl+alt+K
        HotKeyService::Chord bareChord;
        bareChord.evdevCode = 36; // J
        bareChord.control = true;
        bareChord.alt = true;
        bareKeys.registerHotKey(bareChord);
        co_await QCoro::sleepFor(200ms);

        auto fieldFocused = [this] {
            QQuickItem *item = panel->window()->activeFocusItem();
            return item && item->objectName() == QLatin1String("wordField");
        };
        auto wordShown = [this] {
            return panel->content() && panel->content()->word() == QLatin1String("house");
        };
        Watcher overlayWatcher(panel->window(), keyboard, wordShown, fieldFocused);
        Watcher bareWatcher(
            &bare, keyboard, [] { return true; }, [] { return true; });

        std::vector<Sample> first;
        first.push_back(co_await runOverlayOnce(overlayWatcher));
        for (int i = 0; i < 5; ++i)
            co_await runOverlayOnce(overlayWatcher);
        std::vector<Sample> overlay;
        for (int i = 0; i < runs; ++i)
            overlay.push_back(co_await runOverlayOnce(overlayWatcher));

        for (int i = 0; i < 5; ++i)
            co_await runBareOnce(bareWatcher);
        std::vector<Sample> floor;
        for (int i = 0; i < runs; ++i)
            floor.push_back(co_await runBareOnce(bareWatcher));

        // Idle: nothing on screen, the overlay opened and closed above.
        co_await QCoro::sleepFor(1s);
        const long rss = rssKiB();
        const double cpuBefore = cpuSeconds();
        const auto idleStart = Clock::now();
        co_await QCoro::sleepFor(10s);
        const double idleCpu =
            (cpuSeconds() - cpuBefore) / (msSince(idleStart, Clock::now()) / 1000.0) * 100.0;

        const QString backend = QQuickWindow::sceneGraphBackend().isEmpty()
                                    ? QStringLiteral("default (OpenGL/RHI)")
                                    : QQuickWindow::sceneGraphBackend();
        std::printf("scene graph: %s\n", qPrintable(backend));
        std::printf("warm-up at start: %.1f ms\n", warmUpMs);
        printSeries(coldKeyboard ? "overlay, first trigger, cold" : "overlay, first trigger", first);
        printSeries("overlay", overlay);
        printSeries("bare window (floor)", floor);
        std::printf("idle RSS after one opening: %.1f MB\n", double(rss) / 1024.0);
        std::printf("idle CPU over 10 s: %.2f %%\n", idleCpu);
        co_return 0;
    }
};
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    registerFonts();
    // As the program does at start-up, before any window exists.
    QQuickWindow::setDefaultAlphaBuffer(true);
    ViewEngine::selectDefaultSceneGraph();
    Bench bench;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (argument == QLatin1String("--cold-keyboard")) {
            bench.coldKeyboard = true;
            continue;
        }
        bool isNumber = false;
        const int runs = argument.toInt(&isNumber);
        if (!isNumber || runs < 1) {
            std::fprintf(stderr, "usage: bench_capture_latency [runs] [--cold-keyboard]\n");
            return 2;
        }
        bench.runs = runs;
    }
    int status = 1;
    QTimer::singleShot(0, [&] {
        QCoro::connect(bench.run(), &app, [&](int result) {
            status = result;
            QApplication::quit();
        });
    });
    QApplication::exec();
    return status;
}
