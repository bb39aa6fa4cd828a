#pragma once

// The grade frame of each data kind, as the grade-entry windows put one on each page. A kind
// whose frame this version does not have gives none, and the windows keep its page hidden.

class QWidget;
class TfrqevCarBs;

TfrqevCarBs *CreaFrameGrado(int TipoDati, QWidget *parent = nullptr);
