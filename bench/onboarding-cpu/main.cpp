// CPU used by the program while the first-run info page is on screen and
// animating (scrolling, pulsing words), in % of one core, averaged over a
// window of time, once with the software scene graph and once with OpenGL,
// with the frames drawn a second and the CPU time each one costs.
//   onboarding_cpu_bench [seconds]        runs both and prints the figures
#include "FakeSession.h"
#include "app/Fonts.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QQuickView>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int measure(int seconds)
{
    registerFonts();
    FakeSession session; // signed out, as a new user is
    QQuickView view;
    view.setInitialProperties({{QStringLiteral("auth"), QVariant::fromValue(&session)},
                               {QStringLiteral("shortcuts"), QVariant::fromValue<QObject *>(nullptr)},
                               {QStringLiteral("downloadPageUrl"), QUrl()}});
    view.setSource(QUrl(QStringLiteral("qrc:/qt/qml/Vocarta/OnboardingView.qml")));
    if (view.status() != QQuickView::Ready)
        return 2;
    view.show();

    double startCpu = 0;
    QElapsedTimer wall;
    int frames = 0;
    QObject::connect(&view, &QQuickWindow::frameSwapped, &view, [&] { ++frames; });
    // Let start-up (fonts, first frames, measuring) settle before counting.
    QTimer::singleShot(3000, [&] {
        startCpu = cpuSeconds();
        wall.start();
        frames = 0;
        QTimer::singleShot(seconds * 1000, [&] {
            const double cpu = cpuSeconds() - startCpu;
            const double elapsed = double(wall.elapsed()) / 1000.0;
            std::printf("%.2f %.1f %.2f\n", 100.0 * cpu / elapsed, frames / elapsed,
                        frames > 0 ? 1000.0 * cpu / frames : 0.0);
            std::fflush(stdout);
            QGuiApplication::quit();
        });
    });
    return QGuiApplication::exec();
}

// The machine is shared: a figure means little without the load it was taken under.
QByteArray loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return "unknown";
    return file.readLine().split(' ').mid(0, 3).join(' ');
}

} // namespace

int main(int argc, char *argv[])
{
    const bool child = argc > 1 && qstrcmp(argv[1], "--measure") == 0;
    if (child) {
        QGuiApplication app(argc, argv);
        return measure(argc > 2 ? QByteArray(argv[2]).toInt() : 30);
    }
    const int seconds = argc > 1 ? QByteArray(argv[1]).toInt() : 30;
    QCoreApplication app(argc, argv);
    std::printf("onboarding info page, CPU averaged over %d s (%% of one core)\n", seconds);
    const QList<QPair<QString, QString>> backends = {
        {QStringLiteral("software scene graph"), QStringLiteral("software")},
        {QStringLiteral("OpenGL scene graph"), QString()}};
    for (const auto &[name, backend] : backends) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (backend.isEmpty())
            env.remove(QStringLiteral("QT_QUICK_BACKEND"));
        else
            env.insert(QStringLiteral("QT_QUICK_BACKEND"), backend);
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QCoreApplication::applicationFilePath(),
                      {QStringLiteral("--measure"), QString::number(seconds)});
        process.waitForFinished(-1);
        const QList<QByteArray> figures = process.readAllStandardOutput().trimmed().split(' ');
        if (figures.size() != 3) {
            std::printf("  %-22s failed\n", qPrintable(name));
            continue;
        }
        std::printf("  %-22s %s %%   %s frames/s, %s ms of CPU a frame   (load average %s)\n",
                    qPrintable(name), figures[0].constData(), figures[1].constData(), figures[2].constData(),
                    loadAverage().constData());
        std::fflush(stdout);
    }
    return 0;
}
