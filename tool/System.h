// What the tool needs from the system it runs on, one file per system:
// tool/linux/System.cpp and tool/windows/System.cpp.  Text and paths are
// UTF-8 everywhere.
#pragma once

#include "tool/Tool.h"

#include <functional>
#include <string>
#include <vector>

struct SF_INFO;
typedef struct sf_private_tag SNDFILE;

namespace tool {

// The command's arguments (after the program's name) as UTF-8 words.
Args commandArguments(int argc, char **argv);

// Where a plug-in is looked for when neither --plugin nor $MURMELO_PLUGIN
// names one, in order: the build tree's, then the installed ones.
std::vector<std::string> defaultPluginPaths();

// True when standard error is a terminal (a console on Windows).
bool standardErrorIsTerminal();

// libsndfile's sf_open for a UTF-8 path.
SNDFILE *openSoundFile(const std::string &path, int mode, SF_INFO *info);
// Moves from onto to, replacing a file already there; false when it fails.
bool replaceFile(const std::string &from, const std::string &to);
void removeFile(const std::string &path);

// Sends the datagram that message(ownPort) makes to 127.0.0.1:port every
// 100 ms from a socket of its own on the loopback address (ownPort is that
// socket's port) until a datagram arrives there; false when none has
// arrived after timeoutMs or the system refuses the socket.
bool loopbackAnswers(int port, const std::function<std::string(int ownPort)> &message, int timeoutMs);

// Stop requests for `murmelo serve`: after watchStopRequests(), Ctrl-C (and
// SIGTERM on Linux; Ctrl-Break and closing the console on Windows) make
// stopRequested() true instead of ending the process.  stopFinished() tells
// a system that waits for the program (Windows ends it when a close request
// is answered) that everything is shut down.
void watchStopRequests();
bool stopRequested();
void stopFinished();

} // namespace tool
