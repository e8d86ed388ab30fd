#pragma once

#include "server/command_line.h"

#include <cstdio>

namespace centeremp::server {

// Runs one administration command against the database: adds or removes an operator (whose
// password is read from passwordInput, never from the arguments), adds or lists centres,
// prints the assignment log, migrates the schema or backs a SQLite database up (without
// opening it for anything else). Results go to out, problems to err. Returns the process's exit
// code: 0 done, 1 the database failed, 2 the command cannot be done as given.
int runAdminCommand(const DatabaseAddress& database, const AdminCommand& command, std::FILE* passwordInput,
                    std::FILE* out, std::FILE* err);

}  // namespace centeremp::server
