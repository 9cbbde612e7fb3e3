#include "app/Fonts.h"
#include "platform/posix/TerminationSignals.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vocarta-menubar"));
    QApplication::setOrganizationName(QStringLiteral("vocarta"));
    QApplication::setQuitOnLastWindowClosed(false);

    registerFonts();

    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::terminationRequested, &app,
                     [] { QApplication::quit(); });
    return QApplication::exec();
}
