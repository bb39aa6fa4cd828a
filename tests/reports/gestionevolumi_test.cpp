#include "platform/clientdataset.h"
#include "platform/comm.h"
#include "platform/dbgridframes.h"
#include "platform/dialogseam.h"
#include "platform/messagedlg.h"
#include "reports/qelfgestionevolumi.h"
#include "shell/qelpargen.h"
#include "tests/support/testdb.h"
#include "tests/support/testfiles.h"
#include "tests/support/testhttpserver.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTableView>
#include <QTcpServer>
#include <QToolButton>

#include <memory>

namespace {

const QString kFirst = QStringLiteral("ABCD_RMIS00100A_07_12_2026_90507");
const QString kSecond = QStringLiteral("ABCD_RMIS00100A_31_01_2027_235959");

class VolumeManagement : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dmqelParGen = &parGen;
        folder = mainDir.path() + QStringLiteral("USR/Dati/Registro/");
    }

    void addVolume(const QString &name, const QList<QPair<QByteArray, QByteArray>> &entries = {})
    {
        const QByteArray pdf = QFileInfo(name).completeBaseName().toUtf8() + ".pdf";
        QDir().mkpath(folder);
        writeZipEntries(folder + name,
                        entries.isEmpty() ? decltype(entries){{pdf, "%PDF-1.4"}} : entries);
    }

    void writeCatalogue(const QStringList &stems)
    {
        TClientDataSet catalogue;
        catalogue.AddFieldDef(QStringLiteral("sNomeFile"), ftString, 50);
        catalogue.AddFieldDef(QStringLiteral("sTitolo"), ftString, 100);
        catalogue.CreateDataSet();
        for (const QString &stem : stems) {
            catalogue.Append();
            catalogue.FieldByName(QStringLiteral("sNomeFile"))->setValue(stem);
            catalogue.FieldByName(QStringLiteral("sTitolo"))->setValue("Titolo " + stem.right(5));
            catalogue.Post();
        }
        catalogue.SaveToFile(folder + QStringLiteral("info.xml"), dfXML);
    }

    QStringList catalogueStems()
    {
        TClientDataSet catalogue;
        catalogue.LoadFromFile(folder + QStringLiteral("info.xml"));
        QStringList stems;
        for (catalogue.First(); !catalogue.Eof(); catalogue.Next())
            stems << catalogue.FieldByName(QStringLiteral("sNomeFile"))->AsString();
        return stems;
    }

    void open() { window = std::make_unique<TfmQelGestioneVolumi>(); }

    QStringList rows() const
    {
        TClientDataSet &v = window->cdsVolumi();
        QStringList listed;
        for (v.First(); !v.Eof(); v.Next()) {
            QStringList cells;
            for (int i = 0; i < v.FieldCount(); ++i)
                cells << (v.Fields(i)->DataType() == ftDate
                              ? v.Fields(i)->AsDate().toString(QStringLiteral("dd/MM/yyyy"))
                              : v.Fields(i)->AsString());
            listed << cells.join(QLatin1Char('|'));
        }
        return listed;
    }

    // Presses the button on the row with the answers queued; what was shown, kind and text.
    QStringList press(QAbstractButton *button, int row, const QVariantList &answers = {})
    {
        if (row >= 0)
            window->grVolumi()->SetCurrentSourceRow(row);
        for (const QVariant &answer : answers)
            DialogSeam::queueAnswer(answer);
        DialogSeam::clearShown();
        button->click();
        QStringList shown;
        for (const DialogSeam::Shown &s : DialogSeam::shown())
            shown << s.detail + ": " + s.text.section(QLatin1Char('\n'), 0, 0);
        return shown;
    }

    TestMainDir mainDir;
    TdmqelParGen parGen;
    ScriptedDialogs dialogs;
    QString folder;
    std::unique_ptr<TfmQelGestioneVolumi> window;
};

} // namespace

// Names are read in the wizard's form whatever the locale; a stray name stays listed and
// deletable; the catalogue keeps only the volumes present, and is left alone once none is.
TEST_F(VolumeManagement, ListsDeletesAndEmptiesKeepingTheCatalogue)
{
    addVolume(kFirst + ".kaf");
    addVolume(kSecond + ".kaf");
    addVolume(QStringLiteral("ABCD_RMIS00100A_31_02_2027_120000.kaf"));
    addVolume(QStringLiteral("appunti.kaf"));
    writeFileBytes(folder + QStringLiteral("tmp/vecchio.pdf"), "%PDF");
    writeCatalogue({kFirst, QStringLiteral("ABCD_RMIS00100A_01_01_2026_101010")});
    open();
    EXPECT_EQ(rows(), (QStringList{
                          kFirst + ".kaf|ABCD|RMIS00100A|Titolo 90507|07/12/2026|09:05:07",
                          kSecond + ".kaf|ABCD|RMIS00100A||31/01/2027|23:59:59",
                          "ABCD_RMIS00100A_31_02_2027_120000.kaf|||||",
                          "appunti.kaf|||||",
                      }));
    EXPECT_TRUE(window->grVolumi()->grGrid()->isColumnHidden(0));
    EXPECT_EQ(catalogueStems(), QStringList{kFirst});
    EXPECT_TRUE(QDir(folder + "tmp").isEmpty());

    const QString yes = QStringLiteral("Cancellare il volume selezionato?");
    EXPECT_EQ(press(window->buCancella(), 3, {mrYes}), QStringList{"confirmation: " + yes});
    EXPECT_EQ(rows().size(), 3);
    EXPECT_FALSE(QFile::exists(folder + "appunti.kaf"));
    // Gone behind the window's back: told, and the list is not reloaded.
    QFile::remove(folder + kSecond + ".kaf");
    EXPECT_EQ(
        press(window->buCancella(), 1, {mrYes}),
        (QStringList{"confirmation: " + yes, "error: Impossibile eliminare il file selezionato."}));
    EXPECT_EQ(rows().size(), 3);
    EXPECT_EQ(press(window->buCancella(), 1, {mrNo}), QStringList{"confirmation: " + yes});
    EXPECT_EQ(rows().size(), 3);

    const QByteArray catalogue = readFileBytes(folder + "info.xml");
    const QStringList questions = {
        "warning: Questa operazione cancellerà dal disco tutti i volumi, anche quelli non ancora "
        "inviati. Continuare?",
        "warning: ATTENZIONE! Questa operazione è irreversibile. Svuotare la cartella?"};
    EXPECT_EQ(press(window->buSvuota(), -1, {mrYes, mrNo}), questions);
    EXPECT_EQ(rows().size(), 3);
    EXPECT_EQ(press(window->buSvuota(), -1, {mrYes, mrYes}), questions);
    EXPECT_TRUE(rows().isEmpty());
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              (QStringList{"info.xml", "tmp"}));
    EXPECT_EQ(readFileBytes(folder + "info.xml"), catalogue);
    for (QAbstractButton *button : {window->buAnteprima(), window->buCancella(), window->buInvia()})
        EXPECT_EQ(press(button, -1), QStringList{"custom: Selezionare un volume."});

    // The last volume deleted: nothing to rewrite the catalogue with.
    addVolume(kFirst + ".kaf");
    window->LoadVolumi();
    EXPECT_EQ(rows().value(0).section('|', 3, 3), "Titolo 90507");
    const QByteArray rewritten = readFileBytes(folder + "info.xml");
    press(window->buCancella(), 0, {mrYes});
    EXPECT_TRUE(rows().isEmpty());
    EXPECT_EQ(readFileBytes(folder + "info.xml"), rewritten);
}

// The preview writes the volume's PDF into "tmp" and hands it to the desktop; an archive with
// an entry outside the folder is refused whole, and "tmp" is emptied when the window closes.
TEST_F(VolumeManagement, PreviewExtractsIntoTmpOrRefusesTheArchive)
{
    addVolume(kFirst + ".kaf");
    addVolume(kSecond + ".kaf", {{kSecond.toUtf8() + ".pdf", "%PDF"}, {"../fuori.pdf", "x"}});
    open();
    const QString tmp = folder + QStringLiteral("tmp/");
    const QString question = QStringLiteral("confirmation: Aprire un'anteprima del file?");
    EXPECT_EQ(press(window->buAnteprima(), 0, {mrNo}), QStringList{question});
    EXPECT_FALSE(QFile::exists(tmp + kFirst + ".pdf"));
    EXPECT_EQ(press(window->buAnteprima(), 0, {mrYes}),
              (QStringList{question, ": " + tmp + kFirst + ".pdf"}));
    EXPECT_EQ(DialogSeam::shown().value(1).kind, "open-document");
    EXPECT_EQ(readFileBytes(tmp + kFirst + ".pdf"), "%PDF-1.4");

    const QStringList shown = press(window->buAnteprima(), 1, {mrYes});
    ASSERT_EQ(shown.size(), 2);
    EXPECT_TRUE(shown[1].startsWith("error: ")) << shown[1].toStdString();
    EXPECT_EQ(QDir(tmp).entryList(QDir::Files), QStringList{kFirst + ".pdf"});
    EXPECT_FALSE(QFile::exists(folder + "fuori.pdf"));

    window->close();
    EXPECT_TRUE(QDir(tmp).isEmpty());
}

// The body is the upload page's layout around the volume's bytes; only the exact reply "OK"
// is an acknowledgement; a failed transfer opens nothing; no server, nothing posted.
TEST_F(VolumeManagement, SendPostsTheVolumeAndOpensThePageTheReplyChooses)
{
    const QByteArray bytes("PK\x03\x04 volume\r\n\0 fine", 20);
    writeFileBytes(folder + kFirst + ".kaf", bytes);
    open();
    window->comm()->setTimeout(300);
    TestHttpServer server;
    QByteArray answer;
    server.respond = [&answer](const TestHttpServer::Request &) { return answer; };
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const QString refused = QStringLiteral("http://127.0.0.1:%1").arg(closed.serverPort());
    closed.close();

    const QString base = server.url(QString()).chopped(server.url(QString()).endsWith('/'));
    const QString question =
        QStringLiteral("confirmation: Inviare il volume selezionato al server Veldrasoft?");
    const QString failed =
        QStringLiteral("error: Errore di comunicazione con il Server Veldrasoft: ");
    const auto ok = [](const QByteArray &body) {
        return TestHttpServer::response(200, "OK", body);
    };
    const struct
    {
        QString address;
        QByteArray answer;
        QString opened; // the page, or the start of the message
        int posts;
    } cases[] = {
        {base, ok("OK"), "/Registro/mailfromphp.php?tipo=REGISTRO&nomefile=" + kFirst + ".kaf", 1},
        {base + "/", ok("OK\r\n"), "/Registro/Crash.html", 1},
        {base, ok("ok"), "/Registro/Crash.html", 1},
        {base, TestHttpServer::response(500, "Internal Server Error", "OK"), failed, 1},
        {base, QByteArray(), failed + "Il server non ha risposto", 1},
        {refused, ok("OK"), failed, 0},
        {QString(), ok("OK"), "error: Non è impostato l'indirizzo del server Veldrasoft.", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.opened.toStdString());
        parGen.xpsServerWeb.SetValore(c.address);
        answer = c.answer;
        server.requests.clear();
        const QStringList shown = press(window->buInvia(), 0, {mrYes});
        ASSERT_EQ(shown.size(), 2);
        EXPECT_EQ(shown[0], question);
        if (c.opened.startsWith('/')) {
            EXPECT_EQ(DialogSeam::shown().value(1).kind, "open-url");
            EXPECT_EQ(shown[1], ": " + base + c.opened);
        } else {
            EXPECT_TRUE(shown[1].startsWith(c.opened)) << shown[1].toStdString();
        }
        ASSERT_EQ(server.requests.size(), c.posts);
    }

    parGen.xpsServerWeb.SetValore(base);
    answer = ok("OK");
    press(window->buInvia(), 0, {mrYes});
    ASSERT_EQ(server.requests.size(), 1);
    const TestHttpServer::Request &request = server.requests[0];
    EXPECT_EQ(request.path, "/Registro/upload_val.php");
    EXPECT_EQ(request.header("Content-Type"),
              "multipart/form-data; boundary=---------------------------7d63cc3b1f02ae");
    const QByteArray delimiter = "-----------------------------7d63cc3b1f02ae";
    EXPECT_EQ(request.body,
              delimiter + "\r\nContent-Disposition: form-data; name=\"uploadfile\"; filename=\"" +
                  (folder + kFirst + ".kaf").toUtf8() +
                  "\"\r\nContent-Type: application/x-zip-compressed\r\n\r\n" + bytes + "\r\n" +
                  delimiter +
                  "\r\nContent-Disposition: form-data; name=\"tipo\"\r\n\r\nRegistro\r\n" +
                  delimiter + "--\r\n");
}
