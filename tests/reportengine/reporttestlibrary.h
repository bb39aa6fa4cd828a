#pragma once

// A function library for the report engine's tests: what the engine hands over is recorded,
// and each function calculates its arguments the way the system's libraries do.
#include "reportengine/reportengine.h"

// Records what the engine hands over and answers with what the arguments evaluate to.
class TestLibrary : public TfrFunctionLibrary
{
public:
    enum { Echo, Somma, Tipo, Arrotonda };
    TestLibrary()
    {
        List << "Echo"
             << "Somma"
             << "Tipo"
             << "Arrotonda";
        AddFunctionDesc("Somma", "Prove", "Somma(<a>, <b>)/La somma");
        AddFunctionDesc("Tipo", "Prove", "Tipo(<x>)/Il tipo di errore di <x>");
    }
    void DoFunction(int FNo, const QString &p1, const QString &p2, const QString &p3,
                    QVariant &val) override
    {
        calls << QStringList{p1, p2, p3};
        switch (FNo) {
        case Echo:
            val = p1 + "|" + p2 + "|" + p3;
            break;
        case Somma:
            val = frToInteger(frParser.Calc(p1)) + frToInteger(frParser.Calc(p2));
            break;
        case Tipo:
            try {
                frParser.Calc(p1);
                val = "nessuno";
            } catch (const EfrConversionError &) {
                val = "conversione";
            } catch (const EfrRoundingError &) {
                val = "arrotondamento";
            } catch (const EVxException &) {
                val = "altro";
            }
            break;
        case Arrotonda:
            val = frRoundTo(frToFloat(frParser.Calc(p1)), int(frToInteger(frParser.Calc(p2))));
            break;
        }
    }
    static inline QList<QStringList> calls;
};
