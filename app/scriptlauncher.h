#ifndef SCRIPTLAUNCHER_H
#define SCRIPTLAUNCHER_H

class QProcess;
class QString;

// Starts a worker script that lies in the current (work) directory, by its bare
// file name, with no arguments.
//
// Windows runs "emotion.bat" through the command interpreter when QProcess is
// given the bare name. Elsewhere QProcess (Qt 5.15) looks a bare name up in PATH
// only, never in the current directory, so the script would not be found, and a
// same-named program on PATH could be run instead. There the script is resolved
// in the current directory: run directly when it is a program or a "#!" script
// with the execute bit, otherwise handed to /bin/sh as a shell would do.
// The two ways live in scriptlauncher_win32.cpp and scriptlauncher_posix.cpp.
void startWorkerScript(QProcess *process, const QString &scriptName);

#endif // SCRIPTLAUNCHER_H
