// libFuzzer target over the report expression language: the input is read as a text object
// and as one expression, and whatever parses is evaluated in a report with a variable
// request, an in-memory dataset and a library that calculates its arguments. Every input must
// end in the engine's own error or in a value.
#include "platform/clientdataset.h"
#include "reportengine/reportengine.h"

#include <cstddef>
#include <cstdint>

namespace {

class FuzzLibrary : public TfrFunctionLibrary
{
public:
    FuzzLibrary()
    {
        List << "F"
             << "Tondo";
    }
    void DoFunction(int FNo, const QString &p1, const QString &p2, const QString &p3,
                    QVariant &val) override
    {
        if (FNo == 1) {
            val = frRoundTo(frToFloat(frParser.Calc(p1)), int(frToInteger(frParser.Calc(p2))));
            return;
        }
        QString joined;
        for (const QString &p : {p1, p2, p3}) {
            if (!p.isEmpty())
                joined += frDisplayText(frParser.Calc(p));
        }
        val = joined;
    }
};

struct World
{
    World()
    {
        frRegisterFunctionLibrary<FuzzLibrary>();
        data.AddFieldDef("iSitId", ftInteger);
        data.AddFieldDef("sNome", ftString, 20);
        data.CreateDataSet();
        for (int i = 1; i <= 3; ++i) {
            data.Append();
            data.FieldByName("iSitId")->setValue(i);
            data.FieldByName("sNome")->setValue(QStringLiteral("Alunno %1").arg(i));
            data.Post();
        }
        module.AddReportDataSet("frdAlunni", module.AddClientDataSet("cdsAlunni", &data));
        report.OnGetValue = [](const QString &name, QVariant &value) {
            if (name == QLatin1String("Codice Sessione 1"))
                value = QStringLiteral("12");
            else if (name == QLatin1String("Media"))
                value = 6.5;
        };
    }
    TClientDataSet data;
    TfrDataModule module{QStringLiteral("dmFuzz")};
    TfrReport report;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static World world;
    const QString input = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    TfrRun run(world.report);
    try {
        world.report.ExpandText(QStringLiteral("Memo1"), TfrText::parse(input));
    } catch (const EVxException &) {
        // refused or failed with the engine's message: what a bad template must get
    }
    try {
        world.report.Calc(input);
    } catch (const EVxException &) {
    }
    world.module.FindDataSet(QStringLiteral("cdsAlunni"))->Close();
    return 0;
}
