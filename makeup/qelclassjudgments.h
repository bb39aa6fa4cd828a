#pragma once

#include "platform/enumvalues.h"
#include "platform/stepwise.h"

#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

#include <functional>

// The judgments (TGdz_Giudizi) of whole classes of one session: composed from the conduct
// taxonomies, copied from the conduct note, or deleted.
//
// Each pupil's judgment is written in a transaction of its own: a failure at a pupil undoes
// that pupil's alone and raises EVxException saying which pupils were written before it
// (platform/stepwise.h), so the office knows how far the run went and runs it again.
struct ClassPupil
{
    int iSitId = 0;
    QString name; // surname and name
};

class ClassJudgments
{
public:
    ClassJudgments(const QSqlDatabase &db, int iAnsId, int iAnsSesDwgId);

    // The classes of the session, in the classes' order.
    TVxEnumItems classes() const;
    // The first situations of the class that start on the year's first day: a pupil who
    // joined later or moved within the year has a situation of his own that this leaves alone.
    QList<ClassPupil> pupils(int iClsId) const;

    // One line per conduct taxonomy (component, a blank, level), in scale and component
    // order, joined by CR LF; empty when the pupil has none.
    QString conductFromTaxonomies(int iSitId) const;
    // The earliest conduct note of the session (by date, undated last, then by key), trimmed.
    QString conductNote(int iSitId) const;

    // Writes the text as the pupil's judgment: a new row when there is none; otherwise the
    // rows receive it when replace is set or when their text is empty. Whether a row changed.
    bool write(int iSitId, const QString &text, bool replace) const;
    // Whether the pupil had a judgment to delete.
    bool remove(int iSitId) const;

    // The three runs over the classes' pupils.
    void compose(const QList<int> &classIds, bool replace) const;
    void copyNotes(const QList<int> &classIds, bool replace) const;
    void removeAll(const QList<int> &classIds) const;

private:
    // The pupil, the session and the conduct subject, as every pupil's statement binds them.
    TVxFieldValues pupilValues(int iSitId) const;
    QSqlQuery select(const char *sql, const TVxFieldValues &values) const;
    // Runs the step, which answers whether it wrote, for every pupil of the classes in order.
    void forEachPupil(const QList<int> &classIds, const TVxStepwiseWords &words,
                      const std::function<bool(int iSitId)> &step) const;

    QSqlDatabase m_db;
    int m_iAnsId;
    int m_iAnsSesDwgId;
};

// Trims blanks and control characters at both ends, as the judgment texts are compared.
QString trimJudgment(const QString &text);
