#pragma once

#include <QCoreApplication>

// Every text the operator reads goes through Texts::tr() (or QT_TRANSLATE_NOOP("Texts", ...) in
// a table, translated where it is used), with the control's own English as the source text:
// unchanged when the program installed no translator, the installed language when it did
// (translations/tarvocenteremp_*.ts).
struct Texts {
    Q_DECLARE_TR_FUNCTIONS(Texts)
};
