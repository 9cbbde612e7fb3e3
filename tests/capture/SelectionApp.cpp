// A window with a focused text field and a selection, for the capture tests.
//   selection_app [--multiline] [--text T] [--select FROM,TO] [--primary P] [--title W] [--button]
// Prints "ready" once its window is active and the field (or, with --button,
// a push button) has the focus. A line "refocus" on standard input focuses
// the field once more; "select FROM,TO" selects another range in it, and
// "delete" deletes what is selected.
#include <QApplication>
#include <QClipboard>
#include <QCommandLineParser>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>
#include <functional>
#include <unistd.h>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption multiline(QStringLiteral("multiline"));
    const QCommandLineOption text(QStringLiteral("text"), {}, QStringLiteral("text"));
    const QCommandLineOption select(QStringLiteral("select"), {}, QStringLiteral("range"));
    const QCommandLineOption primary(QStringLiteral("primary"), {}, QStringLiteral("text"));
    const QCommandLineOption title(QStringLiteral("title"), {}, QStringLiteral("title"));
    const QCommandLineOption button(QStringLiteral("button"));
    parser.addOptions({multiline, text, select, primary, title, button});
    parser.process(app);

    QWidget window;
    window.setWindowTitle(parser.isSet(title) ? parser.value(title) : QStringLiteral("selection app"));
    auto *layout = new QVBoxLayout(&window);
    QWidget *field = nullptr;
    int from = 0, to = 0;
    if (parser.isSet(select)) {
        const QStringList range = parser.value(select).split(u',');
        from = range.value(0).toInt();
        to = range.value(1).toInt();
    }
    // Qt's command line keeps "\n" literally; the tests pass it escaped.
    const QString content = parser.value(text).replace(QStringLiteral("\\n"), QStringLiteral("\n"));
    // Set again after each refocus: a line edit drops its selection when it
    // loses the focus.
    std::function<void()> selectRange;
    std::function<void()> deleteSelection;
    if (parser.isSet(multiline)) {
        auto *edit = new QPlainTextEdit(content);
        selectRange = [edit, &from, &to] {
            QTextCursor cursor = edit->textCursor();
            cursor.setPosition(from);
            cursor.setPosition(to, QTextCursor::KeepAnchor);
            edit->setTextCursor(cursor);
        };
        deleteSelection = [edit] { edit->textCursor().removeSelectedText(); };
        field = edit;
    } else {
        auto *edit = new QLineEdit(content);
        selectRange = [edit, &from, &to] {
            if (to > from)
                edit->setSelection(from, to - from);
            else
                edit->setCursorPosition(0);
        };
        deleteSelection = [edit] { edit->del(); };
        field = edit;
    }
    selectRange();
    layout->addWidget(field);
    if (parser.isSet(button)) {
        auto *push = new QPushButton(QStringLiteral("OK"));
        layout->addWidget(push);
        field = push;
    }
    window.resize(400, 200);
    window.show();
    window.activateWindow();
    field->setFocus();
    if (parser.isSet(primary))
        QApplication::clipboard()->setText(parser.value(primary), QClipboard::Selection);

    // Report once the window really has the keyboard focus.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (window.isActiveWindow() && field->hasFocus()) {
            std::printf("ready\n");
            std::fflush(stdout);
            poll.stop();
        }
    });
    poll.start(20);

    // The accessibility bridge connects and learns who listens only after
    // start-up, and drops focus events until then: a test that needs the
    // focus event asks for it again, as a person clicking into the field would.
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) {
            input.setEnabled(false);
            return;
        }
        pending.append(buffer, got);
        for (qsizetype end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
            const QByteArray line = pending.left(end).trimmed();
            pending.remove(0, end + 1);
            if (line == "refocus") {
                field->clearFocus();
                field->setFocus();
                selectRange();
            } else if (line.startsWith("select ")) {
                const QList<QByteArray> range = line.mid(7).split(',');
                from = range.value(0).toInt();
                to = range.value(1).toInt();
                selectRange();
            } else if (line == "delete") {
                deleteSelection();
            }
        }
    });
    return QApplication::exec();
}
