#pragma once

// The program's version, as the build files give it.
extern const char slateVersion[];
