#include "overlay/CardShadow.h"
#include "overlay/FlagIcon.h"

#include <QDir>
#include <QFile>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QTemporaryDir>
#include <QTest>

namespace {
bool isGreyCircle(const QImage &image)
{
    const QColor centre = image.pixelColor(image.width() / 2, image.height() / 2);
    const auto near = [](int a, int b) { return qAbs(a - b) <= 3; };
    return near(centre.alpha(), 102) && near(centre.red(), 142) && near(centre.green(), 142) &&
           near(centre.blue(), 147);
}
} // namespace

class OverlayDecorationsTest : public QObject {
    Q_OBJECT

private slots:
    void flagTableIsExactAndCaseSensitive()
    {
        const auto &table = FlagIcon::langToFile();
        QCOMPARE(table.size(), 11);
        QCOMPARE(table.value("en"), QStringLiteral("gb"));
        QCOMPARE(table.value("sv"), QStringLiteral("se"));
        QCOMPARE(table.value("hu"), QStringLiteral("hu"));
        QVERIFY(!table.contains("EN"));
        QVERIFY(!table.contains("ja"));
    }

    void flagsAreRoundImagesOfTheRightCountry()
    {
        FlagIcon flags;
        QVERIFY(flags.imagePath("en")->endsWith(QStringLiteral("Resources/Flags/gb.svg")));
        QVERIFY(flags.imagePath("sv")->endsWith(QStringLiteral("Resources/Flags/se.svg")));

        QSize size;
        const QImage english = flags.requestImage("en", &size, QSize(24, 24));
        QCOMPARE(size, QSize(24, 24));
        QCOMPARE(english.size(), QSize(24, 24));
        // Clipped to the circle: the corners are empty, the middle is flag.
        QCOMPARE(english.pixelColor(0, 0).alpha(), 0);
        QCOMPARE(english.pixelColor(23, 23).alpha(), 0);
        QCOMPARE(english.pixelColor(12, 12).alpha(), 255);
        QVERIFY(!isGreyCircle(english));

        // Sweden's flag is blue with a yellow cross; its centre is yellow.
        const QImage swedish = flags.render("sv", 48);
        const QColor middle = swedish.pixelColor(swedish.width() / 2 - 6, 24);
        QVERIFY2(middle.red() > 200 && middle.green() > 150 && middle.blue() < 100,
                 qPrintable(middle.name()));
    }

    void unknownCodesGiveTheGreyCircle_data()
    {
        QTest::addColumn<QString>("code");
        QTest::newRow("Japanese") << "ja";
        QTest::newRow("empty") << "";
        QTest::newRow("upper case") << "EN";
        QTest::newRow("path in the code") << "../Flags/gb";
    }

    void unknownCodesGiveTheGreyCircle()
    {
        QFETCH(QString, code);
        FlagIcon flags;
        QVERIFY(!flags.imagePath(code));
        QSize size;
        const QImage image = flags.requestImage(code, &size, QSize(18, 18));
        QCOMPARE(image.size(), QSize(18, 18));
        QVERIFY(isGreyCircle(image));
        QCOMPARE(image.pixelColor(0, 0).alpha(), 0);
    }

    void missingOrBrokenFlagFileGivesTheGreyCircle()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QFile broken(dir.filePath("se.svg"));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("<svg this is not");
        broken.close();
        FlagIcon flags([&] { return dir.path(); });
        QVERIFY(!flags.imagePath("en")); // gb.svg is not there
        QVERIFY(isGreyCircle(flags.render("en", 24)));
        QVERIFY(flags.imagePath("sv"));
        QVERIFY(isGreyCircle(flags.render("sv", 24)));
    }

    void shadowIsSoftAndOffsetFree()
    {
        CardShadow shadow;
        shadow.setCornerRadius(32);
        shadow.setBlurRadius(40);
        shadow.setColor(QColor(0, 0, 0, 102));
        const int margin = int(shadow.margin());
        QVERIFY(margin >= 40);
        const QImage image = shadow.renderShadow(QSize(400 + 2 * margin, 200 + 2 * margin));
        const auto alphaAt = [&](int x, int y) { return image.pixelColor(x, y).alpha(); };
        // Full strength (40 %) well inside, fading to nothing at the edge.
        QVERIFY(qAbs(alphaAt(image.width() / 2, image.height() / 2) - 102) <= 3);
        QVERIFY(alphaAt(2, image.height() / 2) <= 3);
        QVERIFY(alphaAt(image.width() / 2, 2) <= 3);
        const int atShapeEdge = alphaAt(margin, image.height() / 2);
        QVERIFY(atShapeEdge > 20 && atShapeEdge < 80);
        // Symmetric: the offset is the view's business.
        QVERIFY(qAbs(alphaAt(margin, image.height() / 2) -
                     alphaAt(image.width() - 1 - margin, image.height() / 2)) <= 3);
    }

    void cardsSwingBetweenRestAndFan()
    {
        QQmlEngine engine;
        QQmlComponent component(&engine, QUrl(QStringLiteral("qrc:/qt/qml/Vocarta/ShufflingCards.qml")));
        std::unique_ptr<QObject> object(component.create());
        QVERIFY2(object, qPrintable(component.errorString()));
        auto *fan = qobject_cast<QQuickItem *>(object.get());
        QCOMPARE(fan->width(), 90.0);
        QCOMPARE(fan->height(), 60.0);
        QVERIFY(fan->property("fanned").toBool());
        QList<QQuickItem *> cards;
        for (QQuickItem *child : fan->childItems()) {
            if (child->width() == 28)
                cards.append(child);
        }
        QCOMPARE(cards.size(), 4);
        // The white card is drawn last, on top.
        QCOMPARE(cards.last()->property("color").value<QColor>(), QColor(Qt::white));
        QCOMPARE(cards.first()->property("color").value<QColor>(), QColor("#6B3BBF"));

        const auto angle = [](QQuickItem *card) {
            auto transforms = QQmlListReference(card, "transform");
            return transforms.at(0)->property("angle").toReal();
        };
        // Heads for the fan, then back to rest, again and again.
        QTRY_VERIFY_WITH_TIMEOUT(fan->property("progress").toReal() > 0.999, 10000);
        QCOMPARE(qRound(angle(cards.last())), 22);
        QCOMPARE(qRound(cards.last()->x() - (90 - 28) / 2.0), 26);
        QCOMPARE(qRound(angle(cards.first())), -22);
        QTRY_VERIFY_WITH_TIMEOUT(fan->property("progress").toReal() < 0.001, 10000);
        QCOMPARE(qRound(angle(cards.last())), 6);
        QCOMPARE(qRound(cards.last()->x() - (90 - 28) / 2.0), 3);
        QTRY_VERIFY_WITH_TIMEOUT(fan->property("progress").toReal() > 0.999, 10000);
    }
};

QTEST_MAIN(OverlayDecorationsTest)
#include "OverlayDecorationsTest.moc"
