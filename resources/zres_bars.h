// Resource ids of the command bars, drop-down menus, image menus and hardware keys.
#pragma once
