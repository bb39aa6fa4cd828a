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
#include <QPushButton>
#include <QTcpServer>
#include <QToolButton>

namespace {

const QString kFirst = QStringLiteral("ABCD_RMIS00100A_07_12_2026_90507");

class VolumeManagement : public ::testing::Test
{
protected:
    void SetUp() override { dmqelParGen = &parGen; }

    void addVolume(const QString &stem, QList<QPair<QByteArray, QByteArray>> entries = {})
    {
        QDir().mkpath(folder);
        writeZipEntries(folder + stem + ".kaf",
                        entries.isEmpty() ? decltype(entries){{stem.toUtf8() + ".pdf", "%PDF"}}
                                          : entries);
    }

    // Each listed row as "name|customer|mec|title|date|time".
    QStringList rows() const
    {
        TClientDataSet &v = window->cdsVolumi();
        QStringList listed;
        for (v.First(); !v.Eof(); v.Next())
            listed << QStringList{v.Fields(0)->AsString(),
                                  v.Fields(1)->AsString(),
                                  v.Fields(2)->AsString(),
                                  v.Fields(3)->AsString(),
                                  v.Fields(4)->AsDate().toString("dd/MM/yyyy"),
                                  v.Fields(5)->AsString()}
                          .join('|');
        return listed;
    }

    // Presses the button on the row with the answers queued; the messages, type and text.
    QStringList press(QAbstractButton *button, int row, const QVariantList &answers = {mrYes})
    {
        window->grVolumi()->SetCurrentSourceRow(row);
        for (const QVariant &answer : answers)
            DialogSeam::queueAnswer(answer);
        DialogSeam::clearShown();
        button->click();
        QStringList shown;
        for (const DialogSeam::Shown &s : DialogSeam::shown())
            shown << s.detail + ": " + s.text.section('\n', 0, 0);
        return shown;
    }

    TestMainDir mainDir;
    TdmqelParGen parGen;
    ScriptedDialogs dialogs;
    const QString folder = mainDir.path() + QStringLiteral("USR/Dati/Registro/");
    std::unique_ptr<TfmQelGestioneVolumi> window;
};

} // namespace

// Names read in the wizard's form whatever the locale, a stray name listed and deletable, the
// catalogue pruned to the volumes present and left alone once none is; the preview refuses an
// archive reaching outside "tmp", which is emptied when the window closes.
TEST_F(VolumeManagement, ListsPreviewsDeletesAndEmpties)
{
    addVolume(kFirst);
    addVolume("ABCD_RMIS00100A_31_01_2027_235959", {{"x.pdf", "%PDF"}, {"../fuori.pdf", "x"}});
    addVolume("ABCD_RMIS00100A_31_02_2027_120000");
    addVolume("appunti");
    TClientDataSet catalogue;
    catalogue.AddFieldDef("sNomeFile", ftString, 50);
    catalogue.AddFieldDef("sTitolo", ftString, 100);
    catalogue.CreateDataSet();
    for (const QString stem : {kFirst, QStringLiteral("ABCD_RMIS00100A_01_01_2026_101010")}) {
        catalogue.Append();
        catalogue.FieldByName("sNomeFile")->setValue(stem);
        catalogue.FieldByName("sTitolo")->setValue("Titolo " + stem.right(5));
        catalogue.Post();
    }
    catalogue.SaveToFile(folder + "info.xml", dfXML);
    window = std::make_unique<TfmQelGestioneVolumi>();
    EXPECT_EQ(rows(),
              (QStringList{kFirst + ".kaf|ABCD|RMIS00100A|Titolo 90507|07/12/2026|09:05:07",
                           "ABCD_RMIS00100A_31_01_2027_235959.kaf|ABCD|RMIS00100A||31/01/"
                           "2027|23:59:59",
                           "ABCD_RMIS00100A_31_02_2027_120000.kaf|||||", "appunti.kaf|||||"}));
    EXPECT_FALSE(readFileBytes(folder + "info.xml").contains("101010"));

    const QString tmp = folder + "tmp/";
    // The office asked for the preview: Return opens it.
    EXPECT_EQ(
        press(window->buAnteprima(), 0, {}),
        (QStringList{"confirmation: Aprire un'anteprima del file?", ": " + tmp + kFirst + ".pdf"}));
    // A desktop that opens nothing: the office is told, with the file to open by hand.
    EXPECT_EQ(
        press(window->buAnteprima(), 0, {mrYes, false}),
        (QStringList{"confirmation: Aprire un'anteprima del file?", ": " + tmp + kFirst + ".pdf",
                     "warning: Il computer non ha aperto il file."}));
    EXPECT_TRUE(DialogSeam::shownTexts().last().endsWith(
        "\n" + QDir::toNativeSeparators(tmp + kFirst + ".pdf")));
    const QStringList refused = press(window->buAnteprima(), 1);
    EXPECT_TRUE(refused.value(1).startsWith("error: ")) << refused.join('\n').toStdString();
    EXPECT_EQ(QDir(tmp).entryList(QDir::Files), QStringList{kFirst + ".pdf"});
    EXPECT_FALSE(QFile::exists(folder + "fuori.pdf"));

    const QString del = "confirmation: Cancellare il volume selezionato?";
    EXPECT_EQ(press(window->buCancella(), 3), QStringList{del});
    QFile::remove(folder + "ABCD_RMIS00100A_31_01_2027_235959.kaf"); // behind the window's back
    EXPECT_EQ(press(window->buCancella(), 1),
              (QStringList{del, "error: Impossibile eliminare il file selezionato."}));
    EXPECT_EQ(rows().size(), 3);

    // A volume run killed half-way left its files: they go with the volumes.
    const QString killed = QStringLiteral("ABCD_RMIS00100A_08_12_2026_101010");
    for (const QString &name : {killed + ".pdf", killed + ".ist", "." + killed + ".kaf.Ab12Cd"})
        writeFileBytes(folder + name, "x");
    writeAbandonedLock(folder + killed + ".lck");
    const QByteArray kept = readFileBytes(folder + "info.xml");
    EXPECT_EQ(press(window->buSvuota(), 0, {mrYes, mrYes}),
              (QStringList{"warning: Questa operazione cancellerà dal disco tutti i volumi, anche "
                           "quelli non ancora inviati. Continuare?",
                           "warning: ATTENZIONE! Questa operazione è irreversibile. Svuotare la "
                           "cartella?"}));
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{"info.xml", "tmp"}));
    EXPECT_EQ(readFileBytes(folder + "info.xml"), kept);
    EXPECT_EQ(press(window->buInvia(), -1), QStringList{"custom: Selezionare un volume."});

    addVolume(kFirst); // the last volume deleted: nothing to rewrite the catalogue with
    window->LoadVolumi();
    press(window->buCancella(), 0);
    EXPECT_EQ(readFileBytes(folder + "info.xml"), kept);
    window->close();
    EXPECT_TRUE(QDir(tmp).isEmpty());
}

// The body is the upload page's layout around the volume's bytes; only the exact reply "OK"
// is an acknowledgement; a failed transfer opens nothing; no server, nothing posted.
TEST_F(VolumeManagement, SendPostsTheVolumeAndOpensThePageTheReplyChooses)
{
    const QByteArray bytes("PK\x03\x04 volume\r\n\0 fine", 20);
    writeFileBytes(folder + kFirst + ".kaf", bytes);
    window = std::make_unique<TfmQelGestioneVolumi>();
    window->comm()->setTimeout(300);
    TestHttpServer server;
    QByteArray answer;
    server.respond = [&answer](const TestHttpServer::Request &) { return answer; };
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const QString refused = QStringLiteral("http://127.0.0.1:%1").arg(closed.serverPort());
    closed.close();
    const QString base = server.url(QString()), page = ": " + base + "/Registro/";
    const QString failed = "error: Errore di comunicazione con il Server Veldrasoft: ";
    const auto ok = [](const QByteArray &body) {
        return TestHttpServer::response(200, "OK", body);
    };
    const struct
    {
        QString address;
        QByteArray answer;
        QString shown; // the page opened, or the start of the message
        int posts;
    } cases[] = {
        {QString(), ok("OK"), "error: Non è impostato l'indirizzo del server Veldrasoft.", 0},
        {refused, ok("OK"), failed, 0},
        {base, TestHttpServer::response(500, "Internal Server Error", "OK"), failed, 1},
        {base, QByteArray(), failed + "Il server non ha risposto", 1},
        {base + "/", ok("OK\r\n"), page + "Crash.html", 1},
        {base, ok("ok"), page + "Crash.html", 1},
        {base, ok("OK"), page + "mailfromphp.php?tipo=REGISTRO&nomefile=" + kFirst + ".kaf", 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.shown.toStdString());
        parGen.xpsServerWeb.SetValore(c.address);
        answer = c.answer;
        server.requests.clear();
        const QStringList shown = press(window->buInvia(), 0);
        ASSERT_EQ(shown.size(), 2);
        EXPECT_EQ(shown[0], "confirmation: Inviare il volume selezionato al server Veldrasoft?");
        EXPECT_TRUE(shown[1].startsWith(c.shown)) << shown[1].toStdString();
        EXPECT_EQ(DialogSeam::shown()[1].kind, c.shown.startsWith(':') ? "open-url" : "message");
        ASSERT_EQ(server.requests.size(), c.posts);
    }
    // The last case's request.
    EXPECT_EQ(server.requests[0].path, "/Registro/upload_val.php");
    EXPECT_EQ(server.requests[0].header("Content-Type"),
              "multipart/form-data; boundary=---------------------------7d63cc3b1f02ae");
    const QByteArray delimiter = "-----------------------------7d63cc3b1f02ae\r\n";
    EXPECT_EQ(server.requests[0].body,
              delimiter + "Content-Disposition: form-data; name=\"uploadfile\"; filename=\"" +
                  (folder + kFirst + ".kaf").toUtf8() +
                  "\"\r\nContent-Type: application/x-zip-compressed\r\n\r\n" + bytes + "\r\n" +
                  delimiter + "Content-Disposition: form-data; name=\"tipo\"\r\n\r\nRegistro\r\n" +
                  delimiter.chopped(2) + "--\r\n");
}
