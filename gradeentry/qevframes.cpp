#include "gradeentry/qevframes.h"

#include "gradeentry/qevparvis.h"
#include "gradeentry/qevrcarcre.h"
#include "gradeentry/qevrcardeb.h"
#include "gradeentry/qevrcarfin.h"
#include "gradeentry/qevrcargdz.h"
#include "gradeentry/qevrcarnot.h"
#include "gradeentry/qevrcarvot.h"

TfrqevCarBs *CreaFrameGrado(int TipoDati, QWidget *parent)
{
    switch (TipoDati) {
    case tdVoti:
    case tdProposti:
    case tdTassonomie:
    case tdAssenze:
    case tdAiuti:
        return new TfrqevCarVot(parent);
    case tdCrediti:
        return new TfrqevCarCre(parent);
    case tdDebiti:
        return new TfrqevCarDeb(parent);
    case tdNote:
        return new TfrqevCarNot(parent);
    case tdGiudizio:
        return new TfrqevCarGdz(parent);
    case tdEsito:
        return new TfrqevCarFin(parent);
    default:
        return nullptr;
    }
}
