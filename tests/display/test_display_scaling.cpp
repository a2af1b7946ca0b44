// The windows on screens of other font resolutions and device pixel ratios.
//
// Each setting needs its own application (Qt reads QT_FONT_DPI and
// QT_SCALE_FACTOR once, at start), so the test runs itself as a child process
// per setting. The child creates the program's seven windows on a card index
// with clients, shows them and reports, one line each:
//   ink <rows>                 the menu strip's text height in device pixels
//   strip <w> <h>              the menu strip in device pixels
//   face <family> <bold>       the face drawing the window font and the "Клиент №" box
//   portrait <x> <y> <w> <h>   the portrait's logical place
//   clipped <window>/<control> <why>   a control that cannot show its whole text
//   blurred <what> <why>       a picture drawn with colours of its own
// The parent compares the settings.
#include "ClientWindowTestSupport.h"
#include "Forms.h"
#include "NavigatorGlyphs.h"
#include "TApplication.h"
#include "TDBEdit.h"
#include "TForm1.h"
#include "TForm2.h"
#include "TForm3.h"
#include "TForm4.h"
#include "TForm5.h"
#include "TForm6.h"
#include "TForm7.h"
#include "TGraphic.h"
#include "TImage.h"
#include "TJPEGImage.h"
#include "TSpeedButton.h"
#include "WindowFonts.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProcess>
#include <QRadioButton>
#include <QPushButton>
#include <QScreen>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <QTest>
#include <QTextStream>
#include <cstdio>

using CursorTest::TestTable;

namespace {

QTextStream& out() {
    static QTextStream stream(stdout);
    return stream;
}

QString plainText(QString text) { return text.remove(QLatin1Char('&')); }

// Rows of the picture that hold text: pixels far darker than the face colour.
int inkRows(const QImage& image) {
    int first = -1, last = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 80) {
                if (first < 0)
                    first = y;
                last = y;
                break;
            }
    return first < 0 ? 0 : last - first + 1;
}

// Why a control cannot show its whole text, or an empty string when it can.
QString clipping(QWidget* w) {
    const QFontMetrics fm(w->font());
    auto tooSmall = [](int needW, int needH, int haveW, int haveH) {
        if (needW <= haveW && needH <= haveH)
            return QString();
        return QStringLiteral("needs %1x%2, has %3x%4").arg(needW).arg(needH).arg(haveW).arg(haveH);
    };
    if (auto* label = qobject_cast<QLabel*>(w)) {
        if (label->text().isEmpty())
            return {};
        const QRect room = label->contentsRect();
        // Measured from the top: centring in a tall rectangle rounds up a pixel.
        const int flags = int(label->alignment() & Qt::AlignHorizontal_Mask) | int(Qt::AlignTop) |
                          (label->wordWrap() ? int(Qt::TextWordWrap) : 0);
        const QRect need = fm.boundingRect(QRect(0, 0, room.width(), 10000), flags, label->text());
        return tooSmall(need.width(), need.height(), room.width(), room.height());
    }
    if (auto* radio = qobject_cast<QRadioButton*>(w)) {
        QStyleOptionButton option;
        option.initFrom(radio);
        option.text = radio->text();
        const int textLeft = radio->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, radio).left();
        // Trailing spaces draw nothing.
        return tooSmall(textLeft + fm.horizontalAdvance(plainText(radio->text()).trimmed()), fm.height(),
                        radio->width(), radio->height());
    }
    if (auto* button = qobject_cast<QPushButton*>(w)) {
        const int frame = button->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button);
        return tooSmall(fm.horizontalAdvance(plainText(button->text())) + 2 * frame, fm.height(),
                        button->width() - 2 * frame, button->height() - 2 * frame);
    }
    if (auto* box = qobject_cast<QGroupBox*>(w)) {
        if (box->title().isEmpty())
            return {};
        // The title stands inside the frame, indented on both sides.
        return tooSmall(fm.horizontalAdvance(plainText(box->title())) + 16, fm.height(), box->width(),
                        box->height());
    }
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        // Where QLineEdit draws its text: the contents rectangle less the
        // text margins and its 2-pixel margin on either side.
        QStyleOptionFrame option;
        option.initFrom(edit);
        option.lineWidth = edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit) : 0;
        const QRect room = edit->style()
                               ->subElementRect(QStyle::SE_LineEditContents, &option, edit)
                               .marginsRemoved(edit->textMargins());
        return tooSmall(fm.horizontalAdvance(edit->text()), fm.height(), room.width() - 4, room.height());
    }
    return {};
}

void reportClipping(TForm* form) {
    const char* window = form->metaObject()->className();
    for (QWidget* w : form->findChildren<QWidget*>()) {
        // Secondary windows are children of the main window.
        if (w->window() != form || w->objectName().isEmpty() ||
            w->objectName().startsWith(QLatin1String("qt_")))
            continue;
        const QString why = clipping(w);
        if (!why.isEmpty())
            out() << "clipped " << window << '/' << w->objectName() << ' ' << why << '\n';
    }
    // The menu strip lays its items out itself: each must be as wide as its text.
    if (auto* bar = form->findChild<QMenuBar*>()) {
        const QFontMetrics fm(bar->font());
        for (QAction* item : bar->actions())
            if (bar->actionGeometry(item).width() < fm.horizontalAdvance(plainText(item->text())))
                out() << "clipped " << window << '/' << item->objectName() << " menu item\n";
    }
}

QSet<QRgb> colours(const QImage& image) {
    QSet<QRgb> set;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) == 255)
                set.insert(image.pixel(x, y) | 0xff000000u);
    return set;
}

// A glyph drawn scaled must show only its own colours and those of the bare button.
void checkGlyph(TSpeedButton* button, const QPixmap& glyph) {
    const QImage drawn = button->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    const QPixmap kept = glyph;
    button->setGlyph(QPixmap(), 1);
    QSet<QRgb> allowed = colours(button->grab().toImage().convertToFormat(QImage::Format_ARGB32));
    button->setGlyph(kept, 2);
    const QSet<QRgb> own = colours(glyph.toImage().convertToFormat(QImage::Format_ARGB32));
    allowed.unite(own);
    const QSet<QRgb> seen = colours(drawn);
    if (!seen.intersects(own))
        out() << "blurred " << button->objectName() << " glyph not drawn\n";
    const QSet<QRgb> foreign = QSet<QRgb>(seen).subtract(allowed);
    if (!foreign.isEmpty())
        out() << "blurred glyph " << foreign.size() << " colours of its own\n";
}

// Each pixel of the portrait on the screen is one pixel of the picture.
void checkPortrait(TImage* image) {
    auto* jpeg = dynamic_cast<TJPEGImage*>(image->Picture().Graphic());
    if (!jpeg) {
        out() << "blurred portrait no picture\n";
        return;
    }
    const QImage source = jpeg->Bitmap().convertToFormat(QImage::Format_RGB32);
    const QPixmap grabbed = image->grab();
    const double ratio = grabbed.devicePixelRatio();
    const QImage drawn = grabbed.toImage().convertToFormat(QImage::Format_RGB32);
    const int w = std::min(drawn.width(), int(source.width() * ratio));
    const int h = std::min(drawn.height(), int(source.height() * ratio));
    int wrong = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            // One of the picture pixels next to the place this screen pixel
            // stands for (rounding may pick either); a blend matches none.
            const int sx = int(x / ratio), sy = int(y / ratio);
            bool match = false;
            for (int dy = -1; dy <= 1 && !match; ++dy)
                for (int dx = -1; dx <= 1 && !match; ++dx) {
                    const QPoint from(std::clamp(sx + dx, 0, source.width() - 1),
                                      std::clamp(sy + dy, 0, source.height() - 1));
                    match = drawn.pixel(x, y) == source.pixel(from);
                }
            wrong += !match;
        }
    if (w < 100 || h < 100 || wrong > (w + h) * 2) // an edge row or column may round either way
        out() << "blurred portrait " << wrong << " of " << w * h << " pixels\n";
}

int childMain(int argc, char** argv) {
    TApplication app(argc, argv);
    TestTable table(TestTable::Real);
    table.append({{"128", "Константинопольская", "Мария", "Петровна", "34", "замужем", "2"}});
    app.CreateForm<TForm1>(Form1);
    app.CreateForm<TForm2>(Form2);
    app.CreateForm<TForm3>(Form3);
    app.CreateForm<TForm4>(Form4);
    app.CreateForm<TForm5>(Form5);
    app.CreateForm<TForm6>(Form6);
    app.CreateForm<TForm7>(Form7);
    for (TForm* form : app.Forms())
        form->setVisibleFlag(true);
    QTest::qWait(100);

    const QImage strip = Form1->MainMenu1->grab().toImage();
    const QPixmap whole = Form1->grab();
    out() << "ink " << inkRows(strip) << '\n';
    out() << "strip " << whole.width() << ' ' << whole.height() << '\n';
    auto* base = static_cast<TForm3*>(Form3);
    const QFontInfo number(base->EditDBEdit->font());
    out() << "face " << QFontInfo(Form1->font()).family().replace(QLatin1Char(' '), QLatin1Char('_')) << ' '
          << QFontInfo(base->EditDBEdit->font()).family().replace(QLatin1Char(' '), QLatin1Char('_'))
          << (number.bold() ? " bold" : " plain") << '\n';
    auto* about = static_cast<TForm5*>(Form5);
    const QRect portrait = about->Image1->geometry();
    out() << "portrait " << portrait.x() << ' ' << portrait.y() << ' ' << portrait.width() << ' '
          << portrait.height() << '\n';

    for (TForm* form : app.Forms())
        reportClipping(form);
    checkGlyph(base->DBNavigator->Button(nbNext), NavigatorGlyphs::forKind(nbNext));
    checkPortrait(about->Image1);
    out().flush();
    return 0;
}

struct Report {
    int ink = 0;
    QSize strip;
    QString face;
    QRect portrait;
    QStringList problems;
};

Report runSetting(const QStringList& setting) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KARTOTEKA_DISPLAY_CHILD"), QStringLiteral("1"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"),
               QStringLiteral("offscreen:configfile=") + qEnvironmentVariable("KARTOTEKA_DISPLAY_SCREEN"));
    for (const QString& pair : setting)
        env.insert(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {});
    Report report;
    if (!child.waitForFinished(120000) || child.exitCode() != 0) {
        report.problems << QStringLiteral("child failed: ") + QString::fromLocal8Bit(child.readAllStandardError());
        return report;
    }
    const QStringList lines = QString::fromUtf8(child.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        const QStringList f = line.split(QLatin1Char(' '));
        if (f[0] == QLatin1String("ink"))
            report.ink = f.value(1).toInt();
        else if (f[0] == QLatin1String("strip"))
            report.strip = QSize(f.value(1).toInt(), f.value(2).toInt());
        else if (f[0] == QLatin1String("face"))
            report.face = f.mid(1).join(QLatin1Char(' '));
        else if (f[0] == QLatin1String("portrait"))
            report.portrait = QRect(f.value(1).toInt(), f.value(2).toInt(), f.value(3).toInt(), f.value(4).toInt());
        else if (f[0] == QLatin1String("clipped") || f[0] == QLatin1String("blurred"))
            report.problems << line;
    }
    return report;
}

} // namespace

class TestDisplayScaling : public QObject {
    Q_OBJECT
private slots:
    void facesAndTextHeights();
    void everyWindowAtEverySetting();
};

void TestDisplayScaling::facesAndTextHeights() {
    // 96 pixels per inch, ratio 1: the bitmap face is exact at 8 points only.
    QVERIFY(WindowFonts::bitmapFaceExact());
    QFont standard(QStringLiteral("MS Sans Serif"));
    standard.setPointSize(8);
    QCOMPARE(WindowFonts::faceFor(standard).family(), QStringLiteral("MS Sans Serif"));
    QCOMPARE(QFontInfo(standard).family(), QStringLiteral("MS Sans Serif"));
    QCOMPARE(WindowFonts::textHeight(standard), 13);
    QFont number = standard;
    number.setPointSize(12);
    number.setBold(true);
    QCOMPARE(WindowFonts::faceFor(number).family(), QStringLiteral("Tahoma"));
    QVERIFY(WindowFonts::faceFor(number).bold());
    // The outline face at 8 points has the bitmap's cell height, 13 pixels
    // (11 above the base line, 2 below), so the scaling rule leaves a window
    // in Tahoma as it was laid out.
    QFont outline(QStringLiteral("Tahoma"));
    outline.setPixelSize(11);
    QCOMPARE(QFontInfo(outline).family(), QStringLiteral("Tahoma"));
    QCOMPARE(WindowFonts::textHeight(outline), 13);
    outline.setPixelSize(16);
    QCOMPARE(WindowFonts::textHeight(outline), 19);
    // Another face keeps the height Qt gives it.
    QFont serif(QStringLiteral("Liberation Serif"));
    serif.setPixelSize(22);
    QVERIFY(WindowFonts::textHeight(serif) >= 24 && WindowFonts::textHeight(serif) <= 26);

    // A family stored the way Designer layouts store it (a list of families)
    // is mapped too: the client number box is drawn in bold Tahoma, and its
    // digits carry more ink than the same digits in the regular face.
    TestTable table(TestTable::Real);
    TForm3 base;
    base.ScaleForTextHeight();
    QCOMPARE(base.size(), QSize(592, 304));
    const QFont boxFont = base.EditDBEdit->font();
    QCOMPARE(QFontInfo(boxFont).family(), QStringLiteral("Tahoma"));
    QCOMPARE(QFontInfo(boxFont).pointSize(), 12);
    QVERIFY(QFontInfo(boxFont).bold());
    QCOMPARE(QFontInfo(base.font()).family(), QStringLiteral("MS Sans Serif"));
    auto inkOf = [](const QFont& font) {
        QLabel sample(QStringLiteral("128"));
        sample.setFont(font);
        sample.adjustSize();
        const QImage image = sample.grab().toImage();
        int dark = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                dark += qGray(image.pixel(x, y)) < 128;
        return dark;
    };
    QFont regular = boxFont;
    regular.setBold(false);
    QVERIFY2(inkOf(boxFont) > inkOf(regular) * 13 / 10,
             qPrintable(QStringLiteral("%1 against %2").arg(inkOf(boxFont)).arg(inkOf(regular))));
}

void TestDisplayScaling::everyWindowAtEverySetting() {
    struct Setting {
        const char* name;
        QStringList env;
    };
    const QList<Setting> settings{
        {"96 dpi", {QStringLiteral("QT_FONT_DPI=96")}},
        {"120 dpi", {QStringLiteral("QT_FONT_DPI=120")}},
        {"144 dpi", {QStringLiteral("QT_FONT_DPI=144")}},
        {"192 dpi", {QStringLiteral("QT_FONT_DPI=192")}},
        {"ratio 1.5", {QStringLiteral("QT_SCALE_FACTOR=1.5")}},
        {"ratio 2", {QStringLiteral("QT_SCALE_FACTOR=2")}},
        // No device ratio at all: the toolkit's fonts grow with the
        // resolution and the scaling rule grows the windows.
        {"144 dpi unscaled", {QStringLiteral("QT_ENABLE_HIGHDPI_SCALING=0"), QStringLiteral("QT_FONT_DPI=144")}},
    };
    QMap<QString, Report> reports;
    for (const Setting& s : settings) {
        const Report r = runSetting(s.env);
        QVERIFY2(r.problems.isEmpty(), qPrintable(QString::fromLatin1(s.name) + QStringLiteral(":\n") +
                                                  r.problems.join(QLatin1Char('\n'))));
        QVERIFY2(r.ink > 0, s.name);
        reports.insert(QString::fromLatin1(s.name), r);
        qInfo("%s: menu ink %d px, strip %dx%d, faces %s", s.name, r.ink, r.strip.width(), r.strip.height(),
              qPrintable(r.face));
    }
    const Report& plain = reports[QStringLiteral("96 dpi")];
    // The look at 96 dpi: the bitmap face, the strip as laid out.
    QCOMPARE(plain.face, QStringLiteral("MS_Sans_Serif Tahoma bold"));
    QCOMPARE(plain.strip.width(), 1015);
    auto grows = [&](const char* name, double atLeast, int stripWidth) {
        const Report& r = reports[QString::fromLatin1(name)];
        QVERIFY2(r.ink >= plain.ink * atLeast && r.ink > plain.ink,
                 qPrintable(QStringLiteral("%1: ink %2 against %3").arg(QLatin1String(name)).arg(r.ink).arg(plain.ink)));
        QCOMPARE(r.face, QStringLiteral("Tahoma Tahoma bold"));
        if (stripWidth)
            QCOMPARE(r.strip.width(), stripWidth);
    };
    // Fonts snap to whole device pixels, so 1.25 gives a little less.
    grows("120 dpi", 1.05, 1269);
    grows("144 dpi", 1.35, 1523);
    grows("192 dpi", 1.8, 2030);
    grows("ratio 1.5", 1.35, 1523);
    grows("ratio 2", 1.8, 2030);
    // Without a device ratio 8 points are 16 pixels of Tahoma, 19 high: the
    // rule grows the windows by 19/13 (the strip's width follows its layout).
    grows("144 dpi unscaled", 1.35, 0);
    // At every device ratio the portrait keeps its logical place and size.
    for (const char* name : {"120 dpi", "144 dpi", "192 dpi", "ratio 1.5", "ratio 2"})
        QCOMPARE(reports[QString::fromLatin1(name)].portrait, plain.portrait);
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsSet("KARTOTEKA_DISPLAY_CHILD"))
        return childMain(argc, argv);
    TApplication app(argc, argv);
    TestDisplayScaling test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_display_scaling.moc"
