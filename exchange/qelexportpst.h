#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The collection of a class sent as one folder per study plan. Each plan folder is read by an
// engine of its own (TdmqelXML, class mode) and goes through the class collection's steps: the
// same statements, null rules, scope checks and log. What differs: every plan folder is checked
// and loaded before anything is written, one refused refusing the whole collection; each
// kind's class-wide deletion is followed, in the same transaction, by the inserts of every
// plan folder; credits and make-up records are replaced pupil by pupil, for the pupils of each
// plan folder. Competences, attendance and the scrutiny date are not collected this way.
class TdmqelExportPst
{
public:
    // Reads the working year-session and school year.
    TdmqelExportPst();

    int iAnsSesDwgId = 0;
    int iAnsId = 0;
    int iMode = 1; // the collection always runs in class mode
    int iClsId = 0;
    int iClsSesId = 0;
    QString sClsDesc;
    int iVot = 0, iVtp = 0, iTas = 0, iAss = 0, iAiu = 0, iNot = 0, iDeb = 0, iEsi = 0, iCre = 0,
        iGdz = 0;

    // The class's flags in the working year-session (all 0 without a class session).
    void LoadPstClassFlags(int classId);
    // Collects the plan folders of class iClsId (class session iClsSesId). Raises EVxException
    // with nothing changed when a folder is not the class's or a packet it needs is missing or
    // unreadable, naming the folder; and, as the class collection, when a step fails for a
    // reason that is not a row's own, that step rolled back and the steps stored before it
    // named. Returns the log of the rows not written.
    QStringList CollectPlanFolders(const QStringList &folders);
    // After a collection: the pupils of the folders' plans they do not carry, and what each
    // step changed (TdmqelXML::CollectSummary).
    QStringList CollectSummary() const { return m_summary; }

private:
    QStringList m_summary;
};

// A plan's folder name under its class folder, the same on sending and on collecting: the
// description trimmed and made safe as one folder name.
QString PlanFolderName(const QString &planDescription);

// The study plans of a class (iPstId, sPstLDesc), in the order the database gives them.
struct TqelClassPlan
{
    int id = 0;
    QString description;
};
QList<TqelClassPlan> ClassPlans(int classId);
