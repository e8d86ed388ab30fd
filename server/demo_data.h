#pragma once

#include "server/employee_store.h"

#include <vector>

namespace centeremp::server {

// Sample data for trying the control against a fresh database: five centres and a few hundred
// employees, some inactive, some already assigned. Names include accented letters (all
// representable in Windows-1252, as the control posts in it) and the characters XML must escape.
struct DemoData {
    std::vector<Centre> centres;
    std::vector<SeedEmployee> employees;
    std::vector<SeedAssignment> assignments;
};

// Always the same data, so a demo or a bug report can be reproduced.
DemoData makeDemoData();

}  // namespace centeremp::server
