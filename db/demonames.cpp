#include "db/demonames.h"

const QStringList &demoMaleNames()
{
    static const QStringList names = {
        QStringLiteral("Alessandro"), QStringLiteral("Andrea"),   QStringLiteral("Antonio"),
        QStringLiteral("Davide"),     QStringLiteral("Edoardo"),  QStringLiteral("Emanuele"),
        QStringLiteral("Federico"),   QStringLiteral("Filippo"),  QStringLiteral("Francesco"),
        QStringLiteral("Gabriele"),   QStringLiteral("Giacomo"),  QStringLiteral("Giovanni"),
        QStringLiteral("Giuseppe"),   QStringLiteral("Leonardo"), QStringLiteral("Lorenzo"),
        QStringLiteral("Luca"),       QStringLiteral("Marco"),    QStringLiteral("Matteo"),
        QStringLiteral("Mattia"),     QStringLiteral("Michele"),  QStringLiteral("Nicolò"),
        QStringLiteral("Paolo"),      QStringLiteral("Pietro"),   QStringLiteral("Riccardo"),
        QStringLiteral("Roberto"),    QStringLiteral("Simone"),   QStringLiteral("Stefano"),
        QStringLiteral("Tommaso"),    QStringLiteral("Vincenzo"), QStringLiteral("Samuele"),
    };
    return names;
}

const QStringList &demoFemaleNames()
{
    static const QStringList names = {
        QStringLiteral("Alessia"), QStringLiteral("Alice"),     QStringLiteral("Anna"),
        QStringLiteral("Arianna"), QStringLiteral("Aurora"),    QStringLiteral("Beatrice"),
        QStringLiteral("Camilla"), QStringLiteral("Chiara"),    QStringLiteral("Elena"),
        QStringLiteral("Elisa"),   QStringLiteral("Federica"),  QStringLiteral("Francesca"),
        QStringLiteral("Giorgia"), QStringLiteral("Giulia"),    QStringLiteral("Ilaria"),
        QStringLiteral("Laura"),   QStringLiteral("Ludovica"),  QStringLiteral("Marta"),
        QStringLiteral("Martina"), QStringLiteral("Matilde"),   QStringLiteral("Noemi"),
        QStringLiteral("Rebecca"), QStringLiteral("Sara"),      QStringLiteral("Silvia"),
        QStringLiteral("Sofia"),   QStringLiteral("Valentina"), QStringLiteral("Vittoria"),
        QStringLiteral("Emma"),    QStringLiteral("Greta"),     QStringLiteral("Irene"),
    };
    return names;
}

const QStringList &demoSurnames()
{
    static const QStringList names = {
        QStringLiteral("Rossi"),      QStringLiteral("Russo"),      QStringLiteral("Ferrari"),
        QStringLiteral("Esposito"),   QStringLiteral("Bianchi"),    QStringLiteral("Romano"),
        QStringLiteral("Colombo"),    QStringLiteral("Ricci"),      QStringLiteral("Marino"),
        QStringLiteral("Greco"),      QStringLiteral("Bruno"),      QStringLiteral("Gallo"),
        QStringLiteral("Conti"),      QStringLiteral("De Luca"),    QStringLiteral("Mancini"),
        QStringLiteral("Costa"),      QStringLiteral("Giordano"),   QStringLiteral("Rizzo"),
        QStringLiteral("Lombardi"),   QStringLiteral("Moretti"),    QStringLiteral("Barbieri"),
        QStringLiteral("Fontana"),    QStringLiteral("Santoro"),    QStringLiteral("Mariani"),
        QStringLiteral("Rinaldi"),    QStringLiteral("Caruso"),     QStringLiteral("Ferrara"),
        QStringLiteral("Galli"),      QStringLiteral("Martini"),    QStringLiteral("Leone"),
        QStringLiteral("Longo"),      QStringLiteral("Gentile"),    QStringLiteral("Martinelli"),
        QStringLiteral("Vitale"),     QStringLiteral("Lombardo"),   QStringLiteral("Serra"),
        QStringLiteral("Coppola"),    QStringLiteral("De Santis"),  QStringLiteral("D'Angelo"),
        QStringLiteral("Marchetti"),  QStringLiteral("Parisi"),     QStringLiteral("Villa"),
        QStringLiteral("Conte"),      QStringLiteral("Ferraro"),    QStringLiteral("Ferri"),
        QStringLiteral("Fabbri"),     QStringLiteral("Bianco"),     QStringLiteral("Marini"),
        QStringLiteral("Grasso"),     QStringLiteral("Valentini"),  QStringLiteral("Messina"),
        QStringLiteral("Sala"),       QStringLiteral("De Angelis"), QStringLiteral("Gatti"),
        QStringLiteral("Pellegrini"), QStringLiteral("Palumbo"),    QStringLiteral("Sanna"),
        QStringLiteral("Farina"),     QStringLiteral("Rizzi"),      QStringLiteral("Monti"),
    };
    return names;
}

QString demoFirstName(bool female, int n)
{
    const QStringList &names = female ? demoFemaleNames() : demoMaleNames();
    return names.at(n % int(names.size()));
}
