#include "gradeentry/qevparvis.h"

#include <QGuiApplication>
#include <QPalette>

TdmqevParVis *dmqevParVis = nullptr;

namespace {

// Default width of the data columns by kind and mode. Kinds without a width of their own in a
// mode (never shown there) take their class-mode width, so a default never depends on which
// grid was set up before.
int defaultColWidth(int tipoDati, int tipoCar)
{
    auto byMode = [tipoCar](int classe, int alunno, int materia, int debiti) {
        switch (tipoCar) {
        case tcAlunno:
            return alunno;
        case tcMateria:
            return materia;
        case tcDebiti:
            return debiti;
        default:
            return classe;
        }
    };
    switch (tipoDati) {
    case tdVoti:
    case tdProposti:
    case tdTassonomie:
    case tdAssenze:
    case tdAiuti:
        return byMode(20, 70, 100, 20);
    case tdNote:
        return byMode(20, 120, 120, 20);
    case tdDebiti:
    case tdDebitiClasse:
        return byMode(50, 60, 60, 100);
    case tdCrediti:
        return byMode(60, 55, 60, 60);
    case tdGiudizio:
        return 400;
    case tdEsito:
        return 300;
    default:
        return 20;
    }
}

} // namespace

TVxFont TqevParVisGriglia::DefaultFont()
{
    TVxFont f;
    f.font = QFont(QStringLiteral("MS Sans Serif"));
    f.font.setPointSize(8);
    f.color = QGuiApplication::palette().color(QPalette::WindowText);
    return f;
}

namespace {

template <typename T>
void bind(TVxPar<T> &par, const TVxINIFile &ini, const QString &section, const char *key,
          const T &defaultValue)
{
    par.setINIFile(ini);
    par.setSection(section);
    par.setIdent(QString::fromLatin1(key));
    par.setDefault(defaultValue);
    par.setCached(true);
}

} // namespace

TqevParVisGriglia::TqevParVisGriglia(int TipoDati, int TipoCar)
    : m_tipoDati(TipoDati), m_tipoCar(TipoCar)
{
    // Every value given is written, even one equal to what the file holds.
    const TVxINIFile ini(TdmqevParVis::FileName(), true);
    const QString s = Sezione();
    bind(xpiFCol, ini, s, "FCol", TipoDati == tdCrediti && TipoCar == tcAlunno ? 80 : 200);
    bind(xpiCol, ini, s, "Col", defaultColWidth(TipoDati, TipoCar));
    bind(xpiRow, ini, s, "Row", 18);
    bind(xpbScorr, ini, s, "Scorr", true);
    bind(xpfFont, ini, s, "Font", DefaultFont());
    bind(xpiDesMat, ini, s, "DesMat", 1);
    bind(xpiDesCmp, ini, s, "DesCmp", 1);
    bind(xpbRowCol, ini, s, "EvRowCol", false);
    bind(xpbInsuff, ini, s, "EvInsuff", false);
    bind(xpbContr, ini, s, "EvContr", false);
    bind(xpbMatDeb, ini, s, "EvMatDeb", false);
    bind(xpsColorInsuf, ini, s, "ColorInsuf", ColorToString(DefaultColorInsuf()));
    bind(xpsColorDebiti, ini, s, "ColorDebiti", ColorToString(DefaultColorDebiti()));
    bind(xpsColorTraccia, ini, s, "ColorTraccia", ColorToString(DefaultColorTraccia()));
    bind(xpbMaxCre, ini, s, "SetMaxCre", true);
    bind(xpsLarghezze, ini, s, "Larghezze", QString());
}

std::map<QString, int> TqevParVisGriglia::Larghezze() const
{
    std::map<QString, int> larghezze;
    for (const QString &voce :
         xpsLarghezze.GetValore().split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const qsizetype uguale = voce.lastIndexOf(QLatin1Char('='));
        bool numero = false;
        const int larghezza = voce.mid(uguale + 1).toInt(&numero);
        if (uguale > 0 && numero && larghezza > 0)
            larghezze[voce.left(uguale)] = larghezza;
    }
    return larghezze;
}

void TqevParVisGriglia::SetLarghezza(const QString &colonna, int larghezza)
{
    std::map<QString, int> larghezze = Larghezze();
    // The list's own separators cannot stand in a column's name.
    QString nome = colonna;
    nome.replace(QLatin1Char(';'), QLatin1Char('_')).replace(QLatin1Char('='), QLatin1Char('_'));
    larghezze[nome] = larghezza;
    QStringList voci;
    for (const auto &[col, width] : larghezze)
        voci << QStringLiteral("%1=%2").arg(col).arg(width);
    xpsLarghezze.SetValore(voci.join(QLatin1Char(';')));
}

QString TqevParVisGriglia::Sezione() const
{
    return QStringLiteral("%1_%2").arg(m_tipoDati).arg(m_tipoCar);
}

QColor TqevParVisGriglia::ColorInsuf() const
{
    return StringToColor(xpsColorInsuf.GetValore(), DefaultColorInsuf());
}

QColor TqevParVisGriglia::ColorDebiti() const
{
    return StringToColor(xpsColorDebiti.GetValore(), DefaultColorDebiti());
}

QColor TqevParVisGriglia::ColorTraccia() const
{
    return StringToColor(xpsColorTraccia.GetValore(), DefaultColorTraccia());
}

TdmqevParVis::TdmqevParVis(QObject *owner) : QObject(owner)
{
    setObjectName(QStringLiteral("dmqevParVis"));
}

TdmqevParVis::~TdmqevParVis()
{
    if (dmqevParVis == this)
        dmqevParVis = nullptr;
}

TqevParVisGriglia &TdmqevParVis::Griglia(int TipoDati, int TipoCar)
{
    std::unique_ptr<TqevParVisGriglia> &slot = m_griglie[{TipoDati, TipoCar}];
    if (!slot)
        slot = std::make_unique<TqevParVisGriglia>(TipoDati, TipoCar);
    return *slot;
}

QColor qevColorInsuf(int TipoCar)
{
    return dmqevParVis ? dmqevParVis->gColorInsuf(TipoCar) : TqevParVisGriglia::DefaultColorInsuf();
}
