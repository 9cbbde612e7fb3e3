// Prints how long the capture road's steps take on this machine:
//   - an XTest key press until the hot-key service reports it,
//   - one selection read over the accessibility bus (a Qt text field),
//   - one read of the PRIMARY selection,
//   - SelectedTextReader::capture() as the handler runs it.
#include "capture/SelectedTextReader.h"
#include "platform/atspi/AtspiSelectionSource.h"
#include "platform/x11/X11HotKeyService.h"
#include "platform/x11/X11PrimarySelectionSource.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>

#include <QCoroProcess>
#include <QCoroSignal>
#include <QCoroTask>
#include <QCoroTimer>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
// Xlib defines Status as a macro, which clashes with SelectionSource::Result::Status.
#undef Status

#include <algorithm>
#include <cstdio>

namespace {

constexpr int rounds = 50;

void report(const char *what, QList<double> samples)
{
    if (samples.isEmpty()) {
        std::printf("%-34s no samples\n", what);
        return;
    }
    std::sort(samples.begin(), samples.end());
    const double median = samples.at(samples.size() / 2);
    const double p95 = samples.at(std::min<qsizetype>(samples.size() - 1, qsizetype(samples.size() * 0.95)));
    std::printf("%-34s median %7.2f ms  p95 %7.2f ms  max %7.2f ms  (n=%lld)\n", what, median, p95,
                samples.last(), static_cast<long long>(samples.size()));
}

double msSince(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

QCoro::Task<int> run()
{
    Display *dpy = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->display();
    X11HotKeyService hotKeys;
    HotKeyService::Chord chord;
    chord.evdevCode = 37; // K
    chord.control = true;
    chord.shift = true;
    hotKeys.registerHotKey(chord);

    QList<double> pressToHandler;
    const KeyCode control = XKeysymToKeycode(dpy, 0xffe3), shift = XKeysymToKeycode(dpy, 0xffe1);
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        XTestFakeKeyEvent(dpy, control, True, CurrentTime);
        XTestFakeKeyEvent(dpy, shift, True, CurrentTime);
        timer.start();
        XTestFakeKeyEvent(dpy, 37 + 8, True, CurrentTime);
        XFlush(dpy);
        const auto fired = co_await qCoro(&hotKeys, &HotKeyService::activated, std::chrono::seconds(10));
        if (fired)
            pressToHandler.append(msSince(timer));
        XTestFakeKeyEvent(dpy, 37 + 8, False, CurrentTime);
        XTestFakeKeyEvent(dpy, shift, False, CurrentTime);
        XTestFakeKeyEvent(dpy, control, False, CurrentTime);
        XFlush(dpy);
        co_await QCoro::sleepFor(std::chrono::milliseconds(5));
    }
    report("key press -> hot-key handler", pressToHandler);

    QProcess app;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    app.setProcessEnvironment(env);
    app.start(QStringLiteral(SELECTION_APP),
              {QStringLiteral("--text"), QStringLiteral("the quick brown fox"), QStringLiteral("--select"),
               QStringLiteral("4,15"), QStringLiteral("--primary"), QStringLiteral("quick brown")});
    QByteArray output;
    while (!output.contains("ready") && app.state() != QProcess::NotRunning) {
        co_await qCoro(&app, &QProcess::readyReadStandardOutput, std::chrono::seconds(30));
        output += app.readAllStandardOutput();
    }

    AtspiSelectionSource accessibility;
    co_await accessibility.start();
    X11PrimarySelectionSource primary;
    QList<double> atspi, primarySamples, whole;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        const auto a = co_await accessibility.read();
        if (a.status == SelectionSource::Result::Status::Selected)
            atspi.append(msSince(timer));
        timer.restart();
        const auto p = co_await primary.read();
        if (p.status == SelectionSource::Result::Status::Selected)
            primarySamples.append(msSince(timer));
        SelectedTextReader reader({&accessibility, &primary});
        timer.restart();
        const auto text = co_await reader.capture();
        if (text)
            whole.append(msSince(timer));
    }
    report("accessibility read (Qt field)", atspi);
    report("PRIMARY read", primarySamples);
    report("SelectedTextReader::capture()", whole);
    app.terminate();
    co_await qCoro(&app).waitForFinished(std::chrono::seconds(10));
    co_return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (!X11HotKeyService::isAvailable()) {
        std::fprintf(stderr, "bench_capture: run inside scripts/with-session (needs X11)\n");
        return 1;
    }
    int status = 1;
    QTimer::singleShot(0, [&] {
        QCoro::connect(run(), &app, [&](int result) {
            status = result;
            QApplication::quit();
        });
    });
    QApplication::exec();
    return status;
}
