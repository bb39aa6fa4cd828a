#include "gradeentry/qevfparvis.h"

#include "gradeentry/qelstringgrid.h"
#include "gradeentry/qevparvis.h"
#include "platform/messagedlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

template <typename W> W *named(W *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QSpinBox *sizeBox(const char *name)
{
    auto *box = named(new QSpinBox, name);
    box->setRange(10, 400);
    return box;
}

} // namespace

TfmqevParVis::TfmqevParVis(QWidget *parent)
    : TfmVxOkCancApplyDlg(parent), m_fCol(sizeBox("udFCol")), m_col(sizeBox("udCol")),
      m_row(sizeBox("udRow")),
      m_orizzontale(named(new QRadioButton(QStringLiteral("Orizzontale")), "rbOrizzontale")),
      m_verticale(named(new QRadioButton(QStringLiteral("Verticale")), "rbVerticale")),
      m_desMat(named(new QComboBox, "cbDesMat")),
      m_desCmpLabel(named(new QLabel(QStringLiteral("Descrizione componenti:")), "laDesCmp")),
      m_desCmp(named(new QComboBox, "cbDesCmp")),
      m_rowCol(named(new QCheckBox(QStringLiteral("Riga - colonna")), "cbRowCol")),
      m_insuff(named(new QCheckBox(QStringLiteral("Insufficienze")), "cbInsuff")),
      m_contr(named(new QCheckBox(QStringLiteral("Contrasto voti - voti proposti")), "cbContr")),
      m_matDeb(named(new QCheckBox(QStringLiteral("Materie con debito")), "cbMatDeb")),
      m_swatchInsuf(named(new QLabel, "shInsuf")), m_swatchTraccia(named(new QLabel, "shTraccia"))
{
    setObjectName(QStringLiteral("fmqevParVis"));
    setWindowTitle(QStringLiteral("Parametri/Impostazioni"));
    m_desMat->addItems(
        {QStringLiteral("Codice utente"), QStringLiteral("Sigla"), QStringLiteral("Descrizione")});
    m_desCmp->addItems({QStringLiteral("Sigla"), QStringLiteral("Descrizione")});

    auto *layout = new QVBoxLayout(ClientArea());
    auto *sizes = new QFormLayout;
    sizes->addRow(QStringLiteral("Larghezza prima colonna:"), m_fCol);
    sizes->addRow(QStringLiteral("Larghezza colonne:"), m_col);
    sizes->addRow(QStringLiteral("Altezza righe:"), m_row);
    sizes->addRow(QStringLiteral("Descrizione materie:"), m_desMat);
    sizes->addRow(m_desCmpLabel, m_desCmp);
    layout->addLayout(sizes);

    auto *scroll = new QGroupBox(QStringLiteral("Scorrimento "));
    auto *scrollLayout = new QHBoxLayout(scroll);
    scrollLayout->addWidget(m_orizzontale);
    scrollLayout->addWidget(m_verticale);
    layout->addWidget(scroll);

    auto *highlights = new QGroupBox(QStringLiteral("Evidenzia "));
    auto *highlightLayout = new QVBoxLayout(highlights);
    for (QCheckBox *box : {m_rowCol, m_insuff, m_contr, m_matDeb})
        highlightLayout->addWidget(box);
    layout->addWidget(highlights);

    auto *font = named(new QPushButton(QStringLiteral("Carattere")), "buFont");
    layout->addWidget(font);

    auto *colours = new QGroupBox(QStringLiteral("Colori"));
    auto *colourLayout = new QFormLayout(colours);
    auto swatchRow = [&](const QString &caption, QLabel *swatch, const char *button) {
        swatch->setFixedSize(40, 16);
        auto *row = new QHBoxLayout;
        auto *change = named(new QPushButton(QStringLiteral("Cambia")), button);
        row->addWidget(swatch);
        row->addWidget(change);
        colourLayout->addRow(caption, row);
        return change;
    };
    QPushButton *insuf = swatchRow(QStringLiteral("Insufficienze"), m_swatchInsuf, "buInsuf");
    QPushButton *traccia = swatchRow(QStringLiteral("Tracciabilità"), m_swatchTraccia, "buTraccia");
    layout->addWidget(colours);

    for (QSpinBox *box : {m_fCol, m_col, m_row})
        connect(box, &QSpinBox::valueChanged, this, &TfmqevParVis::changed);
    for (QComboBox *box : {m_desMat, m_desCmp})
        connect(box, &QComboBox::currentIndexChanged, this, &TfmqevParVis::changed);
    for (QAbstractButton *box : std::initializer_list<QAbstractButton *>{
             m_orizzontale, m_verticale, m_rowCol, m_insuff, m_contr, m_matDeb})
        connect(box, &QAbstractButton::toggled, this, &TfmqevParVis::changed);
    connect(font, &QPushButton::clicked, this, &TfmqevParVis::chooseFont);
    connect(insuf, &QPushButton::clicked, this,
            [this] { chooseColor(m_swatchInsuf, m_colorInsuf); });
    connect(traccia, &QPushButton::clicked, this,
            [this] { chooseColor(m_swatchTraccia, m_colorTraccia); });
    buApply()->setEnabled(false);
}

void TfmqevParVis::SetGriglia(TqelStringGrid *grid)
{
    Q_ASSERT(grid && dmqevParVis);
    m_grid = grid;
    m_tipoDati = grid->TipoDati();
    m_tipoCar = grid->TipoCar();
    const bool gradeKind = m_tipoDati >= tdVoti && m_tipoDati <= tdTassonomie;
    m_contr->setEnabled(m_tipoDati == tdVoti);
    m_insuff->setEnabled(gradeKind);
    m_desCmpLabel->setEnabled(gradeKind);
    m_desCmp->setEnabled(gradeKind);
    m_matDeb->setEnabled(m_tipoDati == tdDebiti && m_tipoCar == tcClasse);

    const TqevParVisGriglia &p = dmqevParVis->Griglia(m_tipoDati, m_tipoCar);
    m_fCol->setValue(p.xpiFCol.GetValore());
    m_col->setValue(p.xpiCol.GetValore());
    m_row->setValue(p.xpiRow.GetValore());
    m_orizzontale->setChecked(p.xpbScorr.GetValore());
    m_verticale->setChecked(!p.xpbScorr.GetValore());
    const TVxFont font = p.xpfFont.GetValore();
    m_font = font.font;
    m_fontColor = font.color;
    m_desMat->setCurrentIndex(p.xpiDesMat.GetValore());
    m_desCmp->setCurrentIndex(p.xpiDesCmp.GetValore());
    m_rowCol->setChecked(p.xpbRowCol.GetValore());
    m_insuff->setChecked(p.xpbInsuff.GetValore());
    m_contr->setChecked(p.xpbContr.GetValore());
    m_matDeb->setChecked(p.xpbMatDeb.GetValore());
    m_colorInsuf = p.ColorInsuf();
    m_colorTraccia = p.ColorTraccia();
    paintSwatch(m_swatchInsuf, m_colorInsuf);
    paintSwatch(m_swatchTraccia, m_colorTraccia);
    buApply()->setEnabled(false);
}

void TfmqevParVis::changed()
{
    buApply()->setEnabled(true);
}

void TfmqevParVis::chooseFont()
{
    if (const std::optional<QFont> font = VxChooseFont(this, m_font, QStringLiteral("Carattere"))) {
        m_font = *font;
        changed();
    }
}

void TfmqevParVis::chooseColor(QLabel *swatch, QColor &color)
{
    // A new colour shows on its swatch and is written by OK; it does not enable Apply, since
    // Apply puts nothing of it on the grid.
    if (const std::optional<QColor> chosen = VxChooseColor(this, color)) {
        color = *chosen;
        paintSwatch(swatch, color);
    }
}

void TfmqevParVis::paintSwatch(QLabel *swatch, const QColor &color)
{
    swatch->setStyleSheet(
        QStringLiteral("background-color: %1; border: 1px solid gray;").arg(color.name()));
}

bool TfmqevParVis::Apply()
{
    if (!m_grid)
        return true;
    // The widths set here replace those dragged on the headers.
    m_grid->DimenticaTrascinate();
    m_grid->setnNomeDim(m_fCol->value());
    m_grid->setnColDim(m_col->value());
    m_grid->setnRowDim(m_row->value());
    m_grid->setScorrOrizz(m_orizzontale->isChecked());
    m_grid->setFont(m_font);
    m_grid->setFontColor(m_fontColor);
    m_grid->setDescrRow1(m_desMat->currentIndex());
    m_grid->setDescrRow2(m_desCmp->currentIndex());
    m_grid->setEvRowCol(m_rowCol->isChecked());
    m_grid->setEvInsuff(m_insuff->isChecked());
    if (m_tipoCar == tcClasse || m_tipoCar == tcAlunno || m_tipoCar == tcMateria) {
        for (QObject *o = m_grid->parent(); o; o = o->parent()) {
            if (auto *host = qobject_cast<QevEvidenzeHost *>(o)) {
                host->SetEvContrasto(m_contr->isChecked(), m_matDeb->isChecked());
                break;
            }
        }
    }
    m_grid->Invalidate();
    return true;
}

void TfmqevParVis::OkClick()
{
    // A file that cannot be written keeps the dialog open, after saying why.
    if (!RunShowingErrors([this] { writeParameters(); })) {
        SetModalResult(mrNone);
        return;
    }
    TfmVxOkCancApplyDlg::OkClick();
}

void TfmqevParVis::writeParameters()
{
    // The grid's own section, whatever other grids painted while the dialog was open.
    TqevParVisGriglia &p = dmqevParVis->Griglia(m_tipoDati, m_tipoCar);
    p.xpiFCol.SetValore(m_fCol->value());
    p.xpiCol.SetValore(m_col->value());
    p.xpiRow.SetValore(m_row->value());
    p.xpbScorr.SetValore(m_orizzontale->isChecked());
    p.xpiDesMat.SetValore(m_desMat->currentIndex());
    p.xpiDesCmp.SetValore(m_desCmp->currentIndex());
    p.xpbRowCol.SetValore(m_rowCol->isChecked());
    p.xpbInsuff.SetValore(m_insuff->isChecked());
    p.xpbContr.SetValore(m_contr->isChecked());
    p.xpbMatDeb.SetValore(m_matDeb->isChecked());
    p.xpbMaxCre.Scrivi();
    p.xpsColorInsuf.SetValore(ColorToString(m_colorInsuf));
    p.xpsColorTraccia.SetValore(ColorToString(m_colorTraccia));
    p.xpsColorDebiti.Scrivi();
    p.xpfFont.SetValore(TVxFont{m_font, m_fontColor});
    p.xpsLarghezze.SetValore(QString());
}
