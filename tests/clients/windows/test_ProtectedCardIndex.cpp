// A card index protected by a password (made by pxlib, an independent writer):
// the client window asks for the password until the right one is given (a
// password the table's code page cannot hold is just a wrong one), shows
// the cards, and an edit stored there is read back by pxlib from the file,
// which stays protected under the same key.
#include "ClientWindowTestSupport.h"
#include "PxlibPeer.h"
#include "TForm3.h"
#include "TSession.h"
#include "TTable.h"
#include "TestSupport.h"

#include <QFile>

using namespace ClientWindowTest;
using CursorTest::TestTable;

namespace {

std::vector<enginetest::Row> rowsOf(const QList<QStringList>& records) {
    std::vector<enginetest::Row> rows;
    for (const QStringList& r : records) {
        enginetest::Row row;
        for (const QString& v : r)
            row.push_back(v.toStdString());
        rows.push_back(row);
    }
    return rows;
}

} // namespace

class TestProtectedCardIndex : public QObject {
    Q_OBJECT
private slots:
    void opensAfterThePasswordAndStoresProtected() {
        TestTable table(TestTable::Real);
        const std::string file = QFile::encodeName(table.tableFile()).toStdString();
        QVERIFY(QFile::remove(table.tableFile()));
        enginetest::createWithPxlib(file, 1251, rowsOf(threeClients()), "secret");
        QCOMPARE(enginetest::storedKey(table.tableFile()), 0x6E25449Au);

        // The dialog comes again after a wrong password, as often as needed;
        // one with a letter code page 1251 lacks stays in the session harmlessly.
        QStringList typed{QStringLiteral("café"), QStringLiteral("Secret"), QStringLiteral("secret")};
        int asked = 0;
        TSession::Default().setPasswordPrompt([&] {
            TSession::Default().AddPassword(typed.value(asked++));
            return true;
        });
        TForm3 f;
        f.FormCreate();
        QCOMPARE(asked, 3);
        QVERIFY(f.Table1->Active());
        QCOMPARE(boxTexts(f), threeClients()[0]);
        TForm3 second;
        second.FormCreate();
        QCOMPARE(asked, 3);
        QVERIFY(second.Table1->Active());

        f.EditDBEdit2->setFocus();
        QTest::keyClick(f.EditDBEdit2, Qt::Key_End);
        TestSupport::typeText(f.EditDBEdit2, QStringLiteral("а"));
        click(f.DBNavigator, nbNext);
        QCOMPARE(boxTexts(f), threeClients()[1]);

        QList<QStringList> expected = threeClients();
        expected[0][1] = QStringLiteral("Петрова");
        QCOMPARE(enginetest::describe(enginetest::readWithPxlib(file, 1251)),
                 enginetest::describe(rowsOf(expected)));
        QCOMPARE(enginetest::g_pxErrors, 0);
        QCOMPARE(enginetest::storedKey(table.tableFile()), 0x6E25449Au);
        TSession::Default().setPasswordPrompt({});
    }
};

KARTOTEKA_TEST_MAIN(TestProtectedCardIndex)
#include "test_ProtectedCardIndex.moc"
