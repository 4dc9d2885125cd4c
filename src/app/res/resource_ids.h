// Resource identifiers shared by the resource script and the code.
#pragma once

#define IDI_TARNWICK 101
#define IDC_LINK_HAND 201
