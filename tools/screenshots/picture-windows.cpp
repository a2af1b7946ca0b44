// Pictures every window of the program as it opens, for the user guide:
//   picture-windows OUTDIR SUFFIX
// writes OUTDIR/<window>SUFFIX.png for the menu strip, the client base and
// entry windows, both tests and the authorship window. Run it with the
// display settings to be shown (QT_FONT_DPI, QT_SCALE_FACTOR); the pictures
// are in device pixels, without the window manager's frames.
#include "Forms.h"
#include "TApplication.h"
#include "TForm1.h"
#include "TForm2.h"
#include "TForm3.h"
#include "TForm4.h"
#include "TForm5.h"
#include "TForm6.h"
#include "TForm7.h"

#include <QDir>
#include <QPixmap>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: picture-windows OUTDIR SUFFIX\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    const QString suffix = QString::fromLocal8Bit(argv[2]);
    app.CreateForm<TForm1>(Form1);
    app.CreateForm<TForm2>(Form2);
    app.CreateForm<TForm3>(Form3);
    app.CreateForm<TForm4>(Form4);
    app.CreateForm<TForm5>(Form5);
    app.CreateForm<TForm6>(Form6);
    app.CreateForm<TForm7>(Form7);
    const QList<QPair<TForm*, QString>> windows{{Form1, "main-menu"},     {Form3, "client-base"},
                                                {Form4, "client-entry"},  {Form6, "test-subordination"},
                                                {Form7, "test-weaknesses"}, {Form5, "authorship"}};
    int failures = 0;
    QTimer::singleShot(0, [&] {
        for (const auto& [form, name] : windows) {
            form->setVisibleFlag(true);
            QCoreApplication::processEvents();
            const QString file = QDir(dir).filePath(name + suffix + QStringLiteral(".png"));
            if (!form->grab().save(file)) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
                ++failures;
            }
        }
        app.exit(failures ? 1 : 0);
    });
    return app.exec();
}
