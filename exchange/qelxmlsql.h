#pragma once

// The statements of the exchange packets: the column lists the teachers' program reads, by
// packet. A "%1" is the place of an id list (FieldValueList), never of anything else; every
// other value is a bound parameter.
//
// The value packets share one select per kind, up to its WHERE: the vote (or other value) row,
// its class session as ClsSes, the subject node as MatRma, the pupil's situation as TSit and
// the pupil's plan of the class as ClsPst, so that a class export can add the "/*PST*/" filter
// and a teacher export its teacher's subjects.

#include <QString>

namespace QelXmlSql {

// General packets.
QString infoSed();
QString ans(); // :iAnsId, :All
QString livVotTas();
QString livVtp();
QString debTip();
QString debEsi();
QString docIst(); // :iDwgId

// The engine's own reads.
QString classSessionFlags(); // :iAnsSesDwgId, :iClsId
QString teacherClasses();    // :iAnaId, :iAnsSesDwgId
QString hasQualification();  // :iClsSesId
// The admitted pupils of a qualification class: a condition on TSit, with the class and the
// year-session in decimal.
QString admittedCondition(int classId, int yearSessionId);

// Value packets: ClsVot, ClsVtp, ClsTas, ClsAiu, ClsAss and ClsNot, as select ... from.
QString votSelect();
QString vtpSelect();
QString tasSelect();
QString aiuSelect();
QString assSelect();
// The notes' joins may take more inner joins before the outer ones.
QString notSelect(const QString &joins = {});
// The debts with their outcome, type and teachers' names: ClsDeb.xml, as select ... from. The
// debts (Deb) are the table's unless given: a join that finds them first.
QString debSelect(const QString &debts = QStringLiteral("TDeb_Debiti Deb "));
// Averages of the pupils' final votes and proposals in every final session (%1 = PUPILS).
QString mVotDeb();
QString mVtpDeb();
// The same votes by situation, for the pupils' averages (%1 = PUPILS).
QString aluMed();

// Pieces the class and the teacher folders share.
// A teacher's name as the teachers' program shows it: surname, a blank, name.
QString docName(const QString &alias);
// The class session's columns up to its flags, and its tables (ClsSes, AnsSesDwg, Ses, Sfi,
// VCls, Acs), for "SELECT " + columns + from.
QString classSessionColumns();
QString classSessionFrom();
// The components of class-session subjects (ClsMatCmp, CmpSca, Cmp, Sca, ClsSesMat, MatRma,
// Mat, ClsSes, AnsSesDwg), once per plan of the class that has the subject (ClsPst, MatRmaPst).
QString classComponentsFrom();
// Pupils' subject components: the pupil's situation TSit, his plan of the class ClsPst, every
// class session of that class with its subjects in that plan; select ... from, no WHERE.
QString pupilComponentsSelect(bool withCodVexto);

// Teacher folder: the classes where the teacher (:iAnaId) teaches in the session
// (:iAnsSesDwgId), and their pupils, are read by each statement, which is the same for every
// teacher.
QString teacherClsDwg();
QString teacherClsSes();
QString teacherMatRmaPst();
QString teacherClsMat();
QString teacherMatCls();
QString teacherClsAlu();
QString teacherAluMat(); // and :iAnaId1, the years :iAnsIdPrec and :iAnsId
// A value packet of the classes in the session, the teacher's subjects only.
QString teacherValues(const QString &select);
QString teacherClsNot();
QString teacherClsDeb(); // and :iAnaId1, :iAnsId
QString teacherDocCls();
QString teacherMVotDeb();
QString teacherMVtpDeb();

} // namespace QelXmlSql
