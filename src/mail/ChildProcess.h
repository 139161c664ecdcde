#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>

// Helpers for the programs the mail library runs (a password command, a local mail program).

namespace quillmark::mail {

// Makes the program start in a process group of its own, so that ending it on a time-out also
// ends whatever it started.
void runInOwnProcessGroup(QProcess& process);
// Ends the program and its whole process group, and reaps it.
void endProcessGroup(QProcess& process);
// What a program wrote to standard error, on one line and of a readable length.
[[nodiscard]] QString shownError(const QByteArray& standardError);

} // namespace quillmark::mail
