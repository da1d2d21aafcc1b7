// Inside the run-time: the application object and the arguments it was made
// with, shared by the console start (event_loop.cpp) and the window start
// (window_start.cpp), so that a program without a window links no widget code.
#pragma once

#include <QCoreApplication>
#include <QEventLoop>

#include <memory>

namespace rt {

// Keeps argv for the application's life (`count` -1: up to the null entry)
// and returns the argument count the application refers to.
int &keepArguments(char *argv[], int count);
char **keptArguments();

bool applicationMade();
// Takes the application made from the kept arguments and starts the clock.
void adoptApplication(std::unique_ptr<QCoreApplication> app);

// Runs as each RunUserInterface loop starts; nullptr: nothing.
using LoopStart = void (*)(QEventLoop &loop);
void setLoopStart(LoopStart start);

} // namespace rt
