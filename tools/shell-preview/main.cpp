// shell-preview <menu-signed-out|menu-signed-in|account|decks|tray> | icons <out.png>
// Shows one view of the shell with made-up state until it is killed.
#include "FakeDeckState.h"
#include "FakeSession.h"
#include "app/AppWindows.h"
#include "app/Fonts.h"
#include "tray/TrayMenu.h"

#include <QApplication>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QSystemTrayIcon>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    registerFonts();
    const QString view = app.arguments().value(1);

    if (view == QLatin1String("icons") && argc > 2) {
        // The tray icon at panel sizes on a light and a dark panel.
        const QIcon icon(QStringLiteral(":/icons/vocarta-menubar-tray.svg"));
        QImage sheet(4 * 56, 2 * 56, QImage::Format_RGB32);
        QPainter painter(&sheet);
        const QList<int> sizes{16, 22, 32, 48};
        for (int row = 0; row < 2; ++row) {
            painter.fillRect(0, row * 56, sheet.width(), 56,
                             row == 0 ? QColor("#f2f2f2") : QColor("#2b2b2b"));
            for (int i = 0; i < sizes.size(); ++i) {
                const int size = sizes[i];
                painter.drawPixmap(i * 56 + (56 - size) / 2, row * 56 + (56 - size) / 2,
                                   icon.pixmap(size, size));
            }
        }
        painter.end();
        return sheet.save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
    }

    FakeSession auth;
    FakeDeckState decks;
    if (view != QLatin1String("menu-signed-out")) {
        auth.setAuthenticated(true);
        auth.setUserEmail(QStringLiteral("ana.lind@example.com"));
        decks.setDecks({deck("d1", "Spanish verbs", "en", "es"), deck("d2", "Kitchen & food", "sv", "en"),
                        deck("d3", "Travel phrases", "en", "fr")});
        decks.setActiveDeck(deck("d2", "Kitchen & food", "sv", "en"));
    }

    TrayMenu menu(auth, decks);
    QObject::connect(&menu, &TrayMenu::quitRequested, &app, &QApplication::quit);
    QQmlEngine engine;
    AppWindows windows(engine, auth, decks);
    std::unique_ptr<QSystemTrayIcon> tray;

    if (view.startsWith(QLatin1String("menu"))) {
        menu.menu()->popup(QPoint(600, 60));
    } else if (view == QLatin1String("tray")) {
        tray = std::make_unique<QSystemTrayIcon>(QIcon(QStringLiteral(":/icons/vocarta-menubar-tray.svg")));
        tray->setContextMenu(menu.menu());
        tray->show();
        QTimer::singleShot(1500, [&menu] { menu.menu()->popup(QPoint(1100, 32)); });
    } else if (view == QLatin1String("account") || view == QLatin1String("decks")) {
        windows.openSettingsWindow();
        if (view == QLatin1String("decks")) {
            auto *tabs = windows.settingsWindow()->findChild<QObject *>(QStringLiteral("tabs"));
            if (tabs)
                tabs->setProperty("currentIndex", 1);
        }
    } else {
        std::fprintf(stderr, "usage: shell-preview <menu-signed-out|menu-signed-in|account|decks|tray>\n");
        return 2;
    }
    return QApplication::exec();
}
