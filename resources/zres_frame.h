// Resource ids of the main frame: status bar, frame commands and their strings.
#pragma once
