#include "TApplication.h"

#include <QTest>

class TestApplicationTitle : public QObject {
    Q_OBJECT
private slots:
    void titleFromExecutableName_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("title");
        QTest::newRow("dotted name cut at first dot") << "C:\\bin\\a.b.exe" << "a";
        QTest::newRow("upper case") << "D:\\CLIENTS.EXE" << "Clients";
        QTest::newRow("mixed case") << "MyTool.exe" << "Mytool";
        QTest::newRow("first letter kept as it is") << "/usr/bin/kartoteka" << "kartoteka";
        QTest::newRow("our executable") << "/usr/lib/kartoteka/Kartoteka" << "Kartoteka";
        QTest::newRow("cyrillic") << "/opt/КАРТОТЕКА" << "Картотека";
    }
    void titleFromExecutableName() {
        QFETCH(QString, path);
        QFETCH(QString, title);
        QCOMPARE(TApplication::titleFromExecutablePath(path), title);
    }
};

QTEST_GUILESS_MAIN(TestApplicationTitle)
#include "test_application_title.moc"
