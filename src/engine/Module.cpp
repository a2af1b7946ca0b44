// The plugin is the engine library linked whole; only the functions of
// kartoteka_engine.h are visible from outside.
#include "kartoteka_engine.h"
