// Resource ids shared by the resource scripts and the code.
#pragma once

#define IDI_VEKSEARCH 1
