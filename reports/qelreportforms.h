#pragma once

// Registers the windows of the reports part by class name, for the commands that open them.
void registerReportForms();
