#pragma once

#include "platform/enumvalues.h"

#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

// The judgments (TGdz_Giudizi) of whole classes of one session: composed from the conduct
// taxonomies, copied from the conduct note, or deleted.
//
// Every statement commits by itself: a failure raises EVxException at that pupil and the
// pupils before it stay written, so the office sees how far the run went and runs it again.
class ClassJudgments
{
public:
    ClassJudgments(const QSqlDatabase &db, int iAnsId, int iAnsSesDwgId);

    // The classes of the session, in the classes' order.
    TVxEnumItems classes() const;
    // The first situations of the class that start on the year's first day: a pupil who
    // joined later or moved within the year has a situation of his own that this leaves alone.
    QList<int> pupils(int iClsId) const;

    // One line per conduct taxonomy (component, a blank, level), in scale and component
    // order, joined by CR LF; empty when the pupil has none.
    QString conductFromTaxonomies(int iSitId) const;
    // The earliest conduct note of the session (by date, undated last, then by key), trimmed.
    QString conductNote(int iSitId) const;

    // Writes the text as the pupil's judgment: a new row when there is none; otherwise the
    // rows receive it when replace is set or when their text is empty.
    void write(int iSitId, const QString &text, bool replace) const;
    void remove(int iSitId) const;

    // The three runs over the classes' pupils.
    void compose(const QList<int> &classIds, bool replace) const;
    void copyNotes(const QList<int> &classIds, bool replace) const;
    void removeAll(const QList<int> &classIds) const;

private:
    // The pupil, the session and the conduct subject, as every pupil's statement binds them.
    TVxFieldValues pupilValues(int iSitId) const;
    QSqlQuery select(const char *sql, const TVxFieldValues &values) const;
    template <typename Step> void forEachPupil(const QList<int> &classIds, Step step) const;

    QSqlDatabase m_db;
    int m_iAnsId;
    int m_iAnsSesDwgId;
};

// Trims blanks and control characters at both ends, as the judgment texts are compared.
QString trimJudgment(const QString &text);
