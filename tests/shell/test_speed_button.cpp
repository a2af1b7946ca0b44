// The flat speed button: looks, mouse capture, clicks, focus and the disabled glyph.

#include "TSpeedButton.h"

#include <QApplication>
#include <QEnterEvent>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

namespace {

// A two-image glyph: a 5 x 5 blue square (normal), a 5 x 5 grey square (disabled).
QPixmap twoImageGlyph() {
    QImage image(10, 5, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x) {
            image.setPixel(x, y, qRgb(0, 0, 255));
            image.setPixel(x + 5, y, qRgb(128, 128, 128));
        }
    return QPixmap::fromImage(image);
}

// The top-left pixel of the blue square within an image, or (-1, -1).
QPoint bluePosition(const QImage& image) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == qRgb(0, 0, 255))
                return {x, y};
    return {-1, -1};
}

} // namespace

class TestSpeedButton : public QObject {
    Q_OBJECT
private slots:
    void init() {
        window = new QWidget;
        window->resize(200, 100);
        window->setAutoFillBackground(true);
        QPalette p = window->palette();
        p.setColor(QPalette::Window, QColor(255, 0, 0));
        window->setPalette(p);
        edit = new QLineEdit(window);
        edit->setGeometry(100, 10, 80, 20);
        button = new TSpeedButton(window);
        button->setGeometry(10, 10, 23, 22);
        button->setFlat(true);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        edit->setFocus();
        light = button->palette().color(QPalette::Light).rgb();
        dark = button->palette().color(QPalette::Dark).rgb();
        QVERIFY(light != dark);
    }
    void cleanup() {
        if (QWidget* grabber = QWidget::mouseGrabber())
            grabber->releaseMouse();
        QTest::mouseMove(window, QPoint(150, 80));
        delete window;
    }

    void idleFlatButtonIsInvisible() {
        QCOMPARE(button->edge(), TSpeedButton::TEdge::None);
        const QImage shot = window->grab(button->geometry()).toImage();
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                QCOMPARE(shot.pixel(x, y), qRgb(255, 0, 0));
    }

    void hoverDrawsRaisedEdgeAndLeavingRemovesIt() {
        QTest::mouseMove(button, QPoint(5, 5));
        QVERIFY(button->isMouseInControl());
        QCOMPARE(button->edge(), TSpeedButton::TEdge::Raised);
        const QImage shot = window->grab(button->geometry()).toImage();
        QCOMPARE(shot.pixel(5, 0), light);
        QCOMPARE(shot.pixel(0, 5), light);
        QCOMPARE(shot.pixel(5, 21), dark);
        QCOMPARE(shot.pixel(22, 5), dark);
        QCOMPARE(shot.pixel(5, 5), qRgb(255, 0, 0)); // the face stays transparent
        QTest::mouseMove(window, QPoint(150, 80));
        QCOMPARE(button->edge(), TSpeedButton::TEdge::None);
    }

    void clickHappensOnReleaseOverTheButton() {
        QSignalSpy clicked(button, &TSpeedButton::clicked);
        QSignalSpy pressed(button, &TSpeedButton::pressed);
        QTest::mousePress(button, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(pressed.count(), 1);
        QCOMPARE(clicked.count(), 0);
        QVERIFY(button->isDown());
        QVERIFY(button->isMouseCaptured());
        QCOMPARE(button->edge(), TSpeedButton::TEdge::Sunken);
        const QImage shot = window->grab(button->geometry()).toImage();
        QCOMPARE(shot.pixel(5, 0), dark);
        QCOMPARE(shot.pixel(0, 5), dark);
        QCOMPARE(shot.pixel(5, 21), light);
        QCOMPARE(shot.pixel(22, 5), light);
        QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(clicked.count(), 1);
        QVERIFY(!button->isDown());
        QVERIFY(!button->isMouseCaptured());
    }

    void movingOffShowsHoverAndBackShowsPressed() {
        QSignalSpy clicked(button, &TSpeedButton::clicked);
        QTest::mousePress(button, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseMove(button, QPoint(60, 40));
        QVERIFY(!button->isDown());
        QVERIFY(button->isMouseCaptured());
        QCOMPARE(button->edge(), TSpeedButton::TEdge::Raised);
        QTest::mouseMove(button, QPoint(6, 6));
        QVERIFY(button->isDown());
        QCOMPARE(button->edge(), TSpeedButton::TEdge::Sunken);
        QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(6, 6));
        QCOMPARE(clicked.count(), 1);
    }

    void releaseOutsideGivesNoClick() {
        QSignalSpy clicked(button, &TSpeedButton::clicked);
        QSignalSpy released(button, &TSpeedButton::released);
        QTest::mousePress(button, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseMove(button, QPoint(60, 40));
        QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(60, 40));
        QCOMPARE(clicked.count(), 0);
        QCOMPARE(released.count(), 1);
        QVERIFY(!button->isMouseCaptured());
        QCOMPARE(button->edge(), TSpeedButton::TEdge::None);
        // Just outside the right edge counts as outside.
        QTest::mousePress(button, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(23, 5));
        QCOMPARE(clicked.count(), 0);
    }

    void rightAndMiddleButtonsDoNothing() {
        QSignalSpy clicked(button, &TSpeedButton::clicked);
        QSignalSpy pressed(button, &TSpeedButton::pressed);
        for (Qt::MouseButton which : {Qt::RightButton, Qt::MiddleButton}) {
            QTest::mousePress(button, which, {}, QPoint(5, 5));
            QVERIFY(!button->isDown());
            QVERIFY(!button->isMouseCaptured());
            QTest::mouseRelease(button, which, {}, QPoint(5, 5));
        }
        QCOMPARE(pressed.count(), 0);
        QCOMPARE(clicked.count(), 0);
    }

    void neverTakesTheFocus() {
        QCOMPARE(button->focusPolicy(), Qt::NoFocus);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(QApplication::focusWidget(), edit);
    }

    void pressedGlyphMovesOnePixelRightAndDown() {
        button->setGlyph(twoImageGlyph(), 2);
        QTest::mouseMove(button, QPoint(5, 5));
        const QPoint up = bluePosition(window->grab(button->geometry()).toImage());
        QCOMPARE(up, QPoint((23 - 5) / 2, (22 - 5) / 2)); // centred
        QTest::mousePress(button, Qt::LeftButton, {}, QPoint(5, 5));
        const QPoint down = bluePosition(window->grab(button->geometry()).toImage());
        QCOMPARE(down, up + QPoint(1, 1));
        QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(5, 5));
    }

    void disabledShowsDisabledImageNoEdgeNoClick() {
        button->setGlyph(twoImageGlyph(), 2);
        button->setEnabled(false);
        QSignalSpy clicked(button, &TSpeedButton::clicked);
        QTest::mouseMove(button, QPoint(5, 5));
        QCOMPARE(button->edge(), TSpeedButton::TEdge::None);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(clicked.count(), 0);
        QVERIFY(!button->isMouseCaptured());
        const QImage shot = window->grab(button->geometry()).toImage();
        QCOMPARE(bluePosition(shot), QPoint(-1, -1));
        QCOMPARE(shot.pixel(11, 10), qRgb(128, 128, 128));
        QCOMPARE(shot.pixel(5, 0), qRgb(255, 0, 0)); // no edge
    }

    void singleImageGlyphIsGreyedWhenDisabled() {
        QImage one(5, 5, QImage::Format_ARGB32);
        one.fill(qRgb(0, 0, 255));
        button->setGlyph(QPixmap::fromImage(one), 1);
        QCOMPARE(button->currentGlyphImage().toImage().pixel(2, 2), qRgb(0, 0, 255));
        button->setEnabled(false);
        const QImage greyed = button->currentGlyphImage().toImage();
        QCOMPARE(greyed.size(), QSize(5, 5));
        QVERIFY(greyed.pixel(2, 2) != qRgb(0, 0, 255));
    }

    void noHoverWhileAnotherControlHoldsTheMouse() {
        QTest::mousePress(edit, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseMove(button, QPoint(5, 5));
        QVERIFY(!button->isMouseInControl());
        QCOMPARE(button->edge(), TSpeedButton::TEdge::None);
        // Some platforms still deliver the enter event during another
        // control's press; the button must not light up for it.
        QEnterEvent enter(QPointF(5, 5), QPointF(15, 15), QPointF(15, 15));
        QApplication::sendEvent(button, &enter);
        QVERIFY(!button->isMouseInControl());
        QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(5, 5));
        // The same while a control holds an explicit mouse grab.
        edit->grabMouse();
        QApplication::sendEvent(button, &enter);
        QVERIFY(!button->isMouseInControl());
        edit->releaseMouse();
        // With nobody holding the mouse the same event gives the hover edge.
        QApplication::sendEvent(button, &enter);
        QVERIFY(button->isMouseInControl());
    }

    void derivedButtonsSeePressAndRelease() {
        struct Probe : TSpeedButton {
            using TSpeedButton::TSpeedButton;
            int downs = 0, ups = 0;
            void MouseDown(QMouseEvent*) override { ++downs; }
            void MouseUp(QMouseEvent*) override { ++ups; }
        };
        auto* probe = new Probe(window);
        probe->setGeometry(40, 10, 23, 22);
        probe->show();
        QTest::mousePress(probe, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(probe->downs, 1);
        QCOMPARE(probe->ups, 0);
        QTest::mouseRelease(probe, Qt::LeftButton, {}, QPoint(40, 40));
        QCOMPARE(probe->ups, 1);
        QTest::mouseClick(probe, Qt::RightButton, {}, QPoint(5, 5));
        QCOMPARE(probe->downs, 1);
    }

private:
    QWidget* window = nullptr;
    QLineEdit* edit = nullptr;
    TSpeedButton* button = nullptr;
    QRgb light = 0;
    QRgb dark = 0;
};

QTEST_MAIN(TestSpeedButton)
#include "test_speed_button.moc"
