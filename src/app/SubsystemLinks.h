#pragma once

#include "app/AppShell.h"

// The shell's links to the process-wide objects of the other subsystems.
AppShell::Subsystems linkSubsystems();
