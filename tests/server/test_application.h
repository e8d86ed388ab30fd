#pragma once

namespace centeremp::servertest {

// QProcess, sockets and the Sql drivers want an application object.
void ensureApplication();

}  // namespace centeremp::servertest
