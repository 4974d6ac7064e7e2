/* Pondrex.h compiles as C too, for hosts written in C. */
#include "Pondrex.h"
