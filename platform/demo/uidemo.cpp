// Shows the window layer as the program uses it: a main window with the command bar, two
// child windows and the status panels. "--screenshot <file.png>" saves a picture of the
// window and ends; "--grid-screenshot <file.png>" saves one of a class grid (30 pupils by 40
// components, scrolled under its headers) and ends.

#include "platform/attivazioni.h"
#include "platform/childforms.h"
#include "platform/connection.h"
#include "platform/dbgridframes.h"
#include "platform/fileaccess.h"
#include "platform/formregistry.h"
#include "platform/images.h"
#include "platform/mdimain.h"
#include "platform/outlookbar.h"
#include "platform/parammanager.h"
#include "platform/stringgrid.h"
#include "platform/waitwindow.h"

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QDialog>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPainter>
#include <QSqlDatabase>
#include <QStandardItemModel>
#include <QTableView>
#include <QTimer>

namespace {

class TfmDemoEncomio : public TfmVxChildDB
{
public:
    explicit TfmDemoEncomio(QWidget *parent = nullptr) : TfmVxChildDB(parent)
    {
        setWindowTitle(QStringLiteral("Encomio"));
        setWindowIcon(VxImage(QStringLiteral("CREENC")));
        auto *frame = new TfrVxDBROGrid(this);
        frame->setObjectName(QStringLiteral("frEncomio"));
        frame->SetCaption(QStringLiteral("Encomio"));
        frame->RefreshFrameCaption();
        LoadDefaultImages(frame->ilFrame(), {QStringLiteral("VXINSERT"), QStringLiteral("VXEDIT"),
                                             QStringLiteral("VXDELETE"), QStringLiteral("VXSEARCH"),
                                             QStringLiteral("VXREFRESH")});
        frame->AddFrameAction(QStringLiteral("acInsert"), QStringLiteral("Nuovo"), 0);
        frame->AddFrameAction(QStringLiteral("acEdit"), QStringLiteral("Modifica"), 1);
        frame->AddFrameAction(QStringLiteral("acDelete"), QStringLiteral("Elimina"), 2);
        frame->AddFrameAction(QStringLiteral("acSearch"), QStringLiteral("Cerca"), 3);
        frame->AddFrameAction(QStringLiteral("acRefresh"), QStringLiteral("Aggiorna"), 4);
        auto *model = new QStandardItemModel(0, 2, this);
        model->setHorizontalHeaderLabels({QStringLiteral("Descrizione"), QStringLiteral("Sigla")});
        const char *rows[][2] = {{"Encomio per il comportamento", "ENC-C"},
                                 {"Encomio per il merito scolastico", "ENC-M"},
                                 {"Lodevole impegno nelle attività integrative", "LOD"},
                                 {"Menzione d'onore", "MEN"},
                                 {"Partecipazione alle olimpiadi di matematica", "OLM"}};
        for (const auto &row : rows) {
            model->appendRow({new QStandardItem(QString::fromUtf8(row[0])),
                              new QStandardItem(QString::fromUtf8(row[1]))});
        }
        frame->SetDataSource(model);
        frame->grGrid()->setColumnWidth(0, 330);
        frame->grGrid()->selectRow(1);
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(frame);
        resize(560, 300);
    }
};

class TfmDemoCarCls : public TfmVxChildBase
{
public:
    explicit TfmDemoCarCls(QWidget *parent = nullptr) : TfmVxChildBase(parent)
    {
        setWindowTitle(QStringLiteral("Caricamento per classe - 2007/2008 Finale 3A"));
        setWindowIcon(VxImage(QStringLiteral("CARPERCLS")));
        auto *grid = new QTableView(this);
        grid->setObjectName(QStringLiteral("grVoti"));
        auto *model = new QStandardItemModel(0, 6, this);
        model->setHorizontalHeaderLabels({QStringLiteral("Alunno"), QStringLiteral("ITA"),
                                          QStringLiteral("STO"), QStringLiteral("MAT"),
                                          QStringLiteral("ING"), QStringLiteral("CONDOTTA")});
        const char *names[] = {"1) Bianchi Anna",   "2) D'Angelo Marco", "3) Esposito Luca",
                               "4) Ferrari Giulia", "5) Romano Sara",    "6) Russo Paolo"};
        const char *votes[] = {"7", "6", "8", "5", "9", "6½", "7", "8"};
        int v = 0;
        for (const char *name : names) {
            QList<QStandardItem *> row{new QStandardItem(QString::fromUtf8(name))};
            for (int c = 0; c < 5; ++c)
                row << new QStandardItem(QString::fromUtf8(votes[(v++) % 8]));
            model->appendRow(row);
        }
        grid->setModel(model);
        grid->setColumnWidth(0, 170);
        for (int c = 1; c < 6; ++c)
            grid->setColumnWidth(c, 70);
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(grid);
        resize(560, 260);
    }
};

// A class grid as grade entry draws it: subjects the pupil does not take are solid blocks, the
// current cell's row and column outlined.
class DemoClassGrid : public TVxStringGrid
{
public:
    explicit DemoClassGrid(QWidget *parent = nullptr) : TVxStringGrid(parent)
    {
        setObjectName(QStringLiteral("grVoti"));
        setColCount(41);
        setRowCount(32);
        setFixedRows(2);
        setDefaultColWidth(34);
        setDefaultRowHeight(20);
        setColWidths(0, 170);
        setOptions(goEditing);
        const char *subjects[] = {"ITA", "STO", "MAT", "ING", "FIS", "SCI", "DIS", "EFI"};
        const char *components[] = {"S", "O", "P", "U", "S"};
        const char *votes[] = {"7", "6", "8", "5", "9", "6\u00bd", "7", "8", "4", "10"};
        for (int c = 1; c < ColCount(); ++c) {
            setCells(c, 0, QString::fromLatin1(subjects[(c - 1) / 5]));
            setCells(c, 1, QString::fromLatin1(components[(c - 1) % 5]));
        }
        for (int r = 2; r < RowCount(); ++r) {
            setCells(
                0, r,
                QStringLiteral("%1) Alunno %2").arg(r - 1, 2, 10, QLatin1Char('0')).arg(r - 1));
            for (int c = 1; c < ColCount(); ++c)
                if (!locked(c, r))
                    setCells(c, r, QString::fromUtf8(votes[(r * 3 + c) % 10]));
        }
    }

    // Pupils 9-14 do not take the fourth subject.
    static bool locked(int col, int row)
    {
        return row >= 10 && row <= 15 && col >= 16 && col <= 20;
    }

protected:
    void DrawCell(QPainter &painter, int col, int row, const QRect &rect,
                  TGridDrawState state) override
    {
        const bool data = col >= FixedCols() && row >= FixedRows();
        if (data && locked(col, row))
            painter.fillRect(rect, FontColor());
        TVxStringGrid::DrawCell(painter, col, row, rect, state);
        if (data && (col == Col() || row == Row())) {
            painter.setBrush(Qt::NoBrush);
            painter.setPen(QColor(0, 0, 255));
            painter.drawRect(rect.adjusted(0, 0, -1, -1));
        }
    }
};

// A screenshot as a PNG file, written as every file of the program.
void saveShot(QWidget *widget, const QString &file)
{
    QByteArray bytes;
    QBuffer png(&bytes);
    widget->grab().save(&png, "PNG");
    VxReplaceFile(file, bytes);
}

void gridScreenshot(const QString &file)
{
    DemoClassGrid grid;
    grid.resize(900, 520);
    grid.show();
    grid.setRow(13);
    grid.setCol(22);
    grid.setTopRow(6);
    grid.setLeftCol(9);
    saveShot(&grid, file);
}

void buildCommands(TdmVxAttivazioni &table)
{
    TVxApgPage *val = table.AddPage(QStringLiteral("xpgVal"), QStringLiteral("Gestione"), 0);
    table.AddPage(QStringLiteral("xpgDocenti"), QStringLiteral("Docenti"), 10, true);
    table.AddPage(QStringLiteral("xpgScrutinio"), QStringLiteral("Scrutinio"), 20);
    table.AddPage(QStringLiteral("xpgReport"), QStringLiteral("Stampe"), 30, true);
    table.AddPage(QStringLiteral("xpgStampaDigitale"), QStringLiteral("Stampa digitale"), 35);
    table.AddPage(QStringLiteral("xpgCom"), QStringLiteral("Comunicazione"), 40, true);
    TVxApgPage *cre = table.AddPage(QStringLiteral("xpgTabCre"), QStringLiteral("Crediti"), 70);
    TVxApgPage *tools =
        table.AddPage(QStringLiteral("xpgTools"), QStringLiteral("Utilità e parametri"), 90, true);
    table.AddForm(QStringLiteral("xafCarCls"), QStringLiteral("Caricamento per classe"),
                  QStringLiteral("TfmDemoCarCls"), val, 0, 0);
    table.AddForm(QStringLiteral("xafCarSng"), QStringLiteral("Caricamento per alunno"),
                  QStringLiteral("TfmDemoCarCls"), val, 1, 1);
    table.AddForm(QStringLiteral("xafCarMat"), QStringLiteral("Caricamento per materia"),
                  QStringLiteral("TfmDemoCarCls"), val, 2, 2);
    table.AddForm(QStringLiteral("xafRecupero"), QStringLiteral("Recuperi"),
                  QStringLiteral("TfmDemoCarCls"), val, 100, 42);
    table.AddForm(QStringLiteral("xafEsitiRecuperi"), QStringLiteral("Esiti Recuperi"),
                  QStringLiteral("TfmDemoCarCls"), val, 105, 56);
    table.AddForm(QStringLiteral("xafCompGiudMedie"), QStringLiteral("Compone Giudizio"),
                  QStringLiteral("TfmDemoCarCls"), val, 110, 39, true);
    table.AddForm(QStringLiteral("xafCancellaGiud"), QStringLiteral("Cancella Giudizio"),
                  QStringLiteral("TfmDemoCarCls"), val, 120, 49, true);
    table.AddForm(QStringLiteral("xafEncomio"), QStringLiteral("Encomio"),
                  QStringLiteral("TfmDemoEncomio"), cre, 2, 16);
    table.AddForm(QStringLiteral("xafFrm"), QStringLiteral("Crediti formativi"),
                  QStringLiteral("TfmDemoEncomio"), cre, 2, 17);
    table.AddComponent(QStringLiteral("xacParams"), QStringLiteral("Parametri applicazione"), tools,
                       10, 53);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavrin"));
    QApplication::setStyle(QStringLiteral("Fusion"));
    const int gridAt = app.arguments().indexOf(QStringLiteral("--grid-screenshot"));
    if (gridAt >= 0 && gridAt + 1 < app.arguments().size()) {
        gridScreenshot(app.arguments().at(gridAt + 1));
        return 0;
    }
    FormRegistry::registerClass(QStringLiteral("TfmDemoCarCls"),
                                [](QWidget *p) { return new TfmDemoCarCls(p); });
    FormRegistry::registerClass(QStringLiteral("TfmDemoEncomio"),
                                [](QWidget *p) { return new TfmDemoEncomio(p); });

    TfmVxMDIMain main;
    main.setWindowTitle(QStringLiteral("Tavrin"));
    QStringList names = {"CARPERCLS",
                         "DATIANAGRAFICI",
                         "CARPERMAT",
                         "INVIO",
                         "RACCOLTA",
                         "EXPSCR",
                         "IMPSCR",
                         "SESSIONICFG",
                         "SESSIONICLASSI",
                         "SESSIONI",
                         "COMPONENTIVOTO",
                         "SCLCOMP",
                         "LIVELLI",
                         "LIVELLIPROPOSTI",
                         "SCLLIVPRP",
                         "CREBND",
                         "CREENC",
                         "CREFRM",
                         "CRESCO",
                         "DEBESI",
                         "DEBTIP",
                         "PARAMETRI",
                         "FIRME",
                         "BROGLIACCIO INVIO",
                         "BROGLIACCIO RACCOLTA",
                         "EXPORTDATI",
                         "PAGELLAWEB",
                         "RICERCA",
                         "SCALE_VOTI_APERTI",
                         "TAVRIN_WEB_INVIO",
                         "TAVRIN_WEB_PASSWD",
                         "TAVRIN_WEB_RACCOLTA",
                         "TRADUZIONI",
                         "PARAMETRI_CONNESSIONE"};
    LoadDefaultImages(main.ilCommands(), names, itLarge);
    LoadDefaultImages(main.ilCommands(), mainWindowExtraImageNames(), itLarge);
    QAction *faq = main.miHelp()->addAction(VxImage(QStringLiteral("VXHELP")),
                                            QStringLiteral("Note su internet"));
    faq->setObjectName(QStringLiteral("acFaq"));

    TdmVxAttivazioni table;
    buildCommands(table);
    table.SetContainer(main.mxOLBar());
    table.Execute();
    main.mxOLBar()->ActivatePage(0);

    main.AddPanel(300);
    main.AddPanel(200);
    main.AddPanel(100);
    main.SetPanelTextCallback([](int panel, QString &text) {
        switch (panel) {
        case 1:
            text = QStringLiteral(" Istituto: Istituto d'istruzione superiore \"G. Galilei\"");
            break;
        case 2:
            text = QStringLiteral(" Sessione: Scrutinio finale");
            break;
        case 3:
            text = QStringLiteral(" A.S.: 2007/2008");
            break;
        default:
            break;
        }
    });
    main.RefreshPanels();
    main.resize(1180, 760);
    main.show();

    table.Item(QStringLiteral("xafCarCls"))->Execute();
    table.Item(QStringLiteral("xafEncomio"))->Execute();
    const QList<QMdiSubWindow *> subs = main.mdiArea()->subWindowList();
    if (subs.size() == 2) {
        subs[0]->move(12, 12);
        subs[1]->move(300, 250);
    }

    const QStringList args = app.arguments();
    const int waitAt = args.indexOf(QStringLiteral("--wait-screenshot"));
    if (waitAt >= 0 && waitAt + 1 < args.size()) {
        auto *wait = new TfmVxWait(&main, true);
        wait->SetTitle(QStringLiteral("Invio dei dati ai docenti"));
        wait->SetOperation(QStringLiteral("Classe 3A: esportazione dei voti..."));
        wait->InitProgressBar(0, 10);
        wait->ShowWait();
        wait->StepProgressBar(4);
        const QString file = args.at(waitAt + 1);
        QTimer::singleShot(500, wait, [wait, file] {
            saveShot(wait, file);
            // The wait window never closes by itself: the work that made it frees it.
            wait->deleteLater();
        });
    }
    // "--params-screenshot <file.png> <database>": the parameter dialog over a database.
    const int paramsAt = args.indexOf(QStringLiteral("--params-screenshot"));
    if (paramsAt >= 0 && paramsAt + 2 < args.size()) {
        QSqlDatabase db;
        if (openLocalDatabase(db, QStringLiteral("demo"), args.at(paramsAt + 2))) {
            const QString file = args.at(paramsAt + 1);
            QTimer::singleShot(600, [file] {
                if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
                    saveShot(dialog, file);
                    dialog->reject();
                }
            });
            TVxParamManager manager;
            manager.SetConnection(db);
            manager.Execute();
        }
    }
    const int at = args.indexOf(QStringLiteral("--screenshot"));
    if (at >= 0 && at + 1 < args.size()) {
        const QString file = args.at(at + 1);
        QTimer::singleShot(800, &main, [&main, file] {
            saveShot(&main, file);
            QApplication::quit();
        });
    }
    return app.exec();
}
