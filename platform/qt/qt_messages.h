#pragma once
// Qt's messages that mean nothing to this program's users. Without XDG_RUNTIME_DIR (a login
// without a session: ssh, cron, containers, Xvfb) Qt warns that it chose a runtime folder of its
// own; the programs never use that folder, so the warning is noise on every run.
#include <QString>
#include <QtGlobal>

namespace asmpic::platform {

// True for a message that is dropped.
bool IsQtNoise(QtMsgType type, const QString& message);

// Drops the noise from Qt's messages from now on and hands every other message to the handler
// that was installed before. Installing it twice changes nothing.
void FilterQtNoise();

}  // namespace asmpic::platform
