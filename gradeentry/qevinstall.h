#pragma once

// Gives the program's start-up the grade-entry module. The command table, while it is
// created, creates the launcher (dmqevActivations, role "Segreteria") and the grade data
// module (dmqevDataSets, with its display-parameter module), both owned by the table, and puts
// "Caricamento per classe", "Caricamento per singolo" and "Caricamento per materia" on its page
// "Gestione" with orders and images 0, 1, 2. The grade-entry windows and dialogs are registered
// by class name at start-up. Nothing touches the database until a window asks. Call once
// before the command table is created.
void installGradeEntry();

// Registers the grade-entry windows and dialogs (installGradeEntry has start-up do it).
void registerGradeEntryForms();
